#pragma once

#include "Audio/Params/CAudioParamDataItem.h"

namespace qel {

class CAudioParamDataItemRaw : public CAudioParamDataItem {
public:
    CAudioParamDataItemRaw() = default;
    explicit CAudioParamDataItemRaw(CByteBuffer bytes) : m_bytes(std::move(bytes)) {}

    std::unique_ptr<CAudioParamDataItem> clone() const override;
    CError* save(COutputStream& stream) const override;
    CError* load(CInputStream& stream) override;
    int32_t type() const override { return Raw; }

    const CByteBuffer& bytes() const { return m_bytes; }
    void setBytes(CByteBuffer bytes) { m_bytes = std::move(bytes); }

private:
    CByteBuffer m_bytes;
};

} // namespace qel
