#pragma once

#include "Audio/Params/CAudioParamDataItem.h"
#include "Core/CString.h"

namespace qel {

class CAudioParamDataItemString : public CAudioParamDataItem {
public:
    CAudioParamDataItemString() = default;
    explicit CAudioParamDataItemString(const CString& text) : m_text(text) {}

    std::unique_ptr<CAudioParamDataItem> clone() const override;
    CError* save(COutputStream& stream) const override;
    CError* load(CInputStream& stream) override;
    int32_t type() const override { return String; }

    const CString& text() const { return m_text; }
    void setText(const CString& text) { m_text = text; }

private:
    CString m_text;
};

} // namespace qel
