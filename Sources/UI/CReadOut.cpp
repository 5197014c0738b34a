#include "UI/CReadOut.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Params/CAudioParamInfo.h"
#include "Audio/Params/CAudioParamStorage.h"
#include "Other/CParamInterfaceClient.h"

namespace qel {

CReadOut::~CReadOut() {
    stopListening();
}

CError* CReadOut::initComplete() {
    QEL_CHECK(CTextView::initComplete());
    m_element = getAttrInt("element");
    if (!hasAttr("interface-client")) QEL_CHECK(setAttr("interface-client", "ui.interface-client", true));
    if (CError* error = findObjectByAttr("interface-client", m_client))
        return QEL_PASS_CTX(error, fullName());
    if (CError* error = m_client->listenParam(getAttr("param"), this, m_handle)) {
        m_client = nullptr;
        return QEL_PASS_CTX(error, fullName());
    }
    return nullptr;
}

void CReadOut::detachFromParent() {
    stopListening();
    CTextView::detachFromParent();
}

void CReadOut::stopListening() {
    if (!m_client) return;
    qelErrLog(m_client->unlistenParam(m_handle));
    m_client = nullptr;
}

void CReadOut::onParamInfo(int32_t, const CAudioParamInfo* info, const CAudioParamStorage* common) {
    if (!info || !common) {
        qelErrLog(setText(CString()));
        return;
    }
    showValue(*common);
}

void CReadOut::onParamValues(int32_t, int32_t group, const CAudioParamStorage& values) {
    if (group == 0) showValue(values);
}

void CReadOut::showValue(const CAudioParamStorage& values) {
    const CParamInterfaceClient::SParamState* state = m_client ? m_client->paramState(m_handle) : nullptr;
    if (!state || !state->info) return;
    const CAudioParamInfo& info = *state->info;
    const CAudioParamConverter* converter = info.converter(0);
    const int32_t index = m_element * info.elementSize;
    if (!converter || !values.hasValue(0, index)) return;
    CString text;
    converter->valueToText(text, info, 0, values.getValue(0, index, 0.0), &values.pool(),
                           CAudioParamConverter::Normal);
    if (!converter->label().isEmpty()) text += " " + converter->label();
    qelErrLog(setText(text));
}

} // namespace qel
