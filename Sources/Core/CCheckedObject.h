#pragma once

namespace qel {

// Root of every framework class: gives each a virtual destructor so owners can delete through any base.
class CCheckedObject {
public:
    CCheckedObject() = default;
    CCheckedObject(const CCheckedObject&) = delete;
    CCheckedObject& operator=(const CCheckedObject&) = delete;
    virtual ~CCheckedObject() = default;
};

} // namespace qel
