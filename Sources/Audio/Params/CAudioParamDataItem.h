#pragma once

#include <cstdint>
#include <memory>

#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace qel {

// One non-float value of a parameter (a string or a raw byte block), owned by a CAudioParamData pool.
class CAudioParamDataItem : public CCheckedObject {
public:
    enum Type : int32_t { String = 1, Raw = 2 };

    ~CAudioParamDataItem() override = default;
    virtual std::unique_ptr<CAudioParamDataItem> clone() const = 0;
    // The payload only; the pool writes index and type in front of it.
    virtual CError* save(COutputStream& stream) const = 0;
    virtual CError* load(CInputStream& stream) = 0;
    virtual int32_t type() const = 0;

    // An empty item of the type; null for an unknown type.
    static std::unique_ptr<CAudioParamDataItem> create(int32_t type);
};

} // namespace qel
