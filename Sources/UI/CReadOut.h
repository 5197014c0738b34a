#pragma once

#include "Other/CParamInterfaceParamListener.h"
#include "UI/CTextView.h"

namespace qel {

class CParamInterfaceClient;

// "ui:readout": the display text of one value of a parameter ("param", "element"), as the instance
// reports it through the interface client ("interface-client", "ui.interface-client" by default),
// with the converter's unit label.
class CReadOut : public CTextView, public CParamInterfaceParamListener {
public:
    ~CReadOut() override;
    CError* initComplete() override;
    void detachFromParent() override;

    void onParamInfo(int32_t handle, const CAudioParamInfo* info, const CAudioParamStorage* common) override;
    void onParamValues(int32_t handle, int32_t group, const CAudioParamStorage& values) override;

private:
    void stopListening();
    void showValue(const CAudioParamStorage& values);

    CParamInterfaceClient* m_client = nullptr;
    int32_t m_handle = -1;
    int32_t m_element = 0;
};

} // namespace qel
