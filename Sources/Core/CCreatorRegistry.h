#pragma once

#include <map>
#include <memory>
#include <vector>

#include "Core/CClassRecord.h"
#include "Core/CError.h"

namespace qel {

class CObject;

// One row of a static class table: the tag, how to make an object, how to fill its class record.
struct SCreatorEntry {
    const char* tag;
    CObject* (*create)();
    CClassRecord::Initializer initializer;
};

template <class T>
CObject* qelCreate() {
    return new T;
}

// Tag -> {creator, class record}; filled once at library start-up, read without locks afterwards.
class CCreatorRegistry {
public:
    struct Creator {
        CObject* (*create)() = nullptr;
        std::unique_ptr<CClassRecord> record;
    };

    static CError* registerCreator(const SCreatorEntry& entry);
    static const Creator* find(const CString& tag);
    // Makes an object for the tag: registered class, or a generic object with the generic record.
    static CObject* create(const CString& tag, bool& generic);
    static void clear();
};

} // namespace qel
