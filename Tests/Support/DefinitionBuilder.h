#pragma once

#include <string>
#include <utility>
#include <vector>

#include "Core/CObject.h"

namespace qel::test {

using Attrs = std::vector<std::pair<const char*, const char*>>;

// Adds a definition object with its attributes and runs its set-up phases the way loaded data does;
// items (named "item#0", "item#1", ...) are built under it before it completes. A failing object is
// removed again.
inline CError* buildDefinition(CObject* parent, const char* tag, const char* name, const Attrs& attrs,
                               const std::vector<std::pair<const char*, Attrs>>& items, CObject*& made) {
    made = nullptr;
    CObject* child = nullptr;
    QEL_CHECK(parent->addChild(tag, name, false, child));
    CError* error = nullptr;
    for (const auto& [attr, value] : attrs)
        if (!error) error = child->setAttr(attr, value, false);
    if (!error) error = child->init();
    if (!error) error = child->initContent();
    for (size_t i = 0; i < items.size() && !error; ++i) {
        CObject* item = nullptr;
        error = buildDefinition(child, items[i].first, ("item#" + std::to_string(i)).c_str(), items[i].second,
                                {}, item);
    }
    if (!error) error = child->initComplete();
    if (error) {
        parent->destroyChild(child);
        return error;
    }
    made = child;
    return nullptr;
}

} // namespace qel::test
