#include "Other/CParamInterfaceMessage.h"

namespace qel {

CParamInterfaceMessage::CParamInterfaceMessage(const CString& command) {
    str(command);
}

CParamInterfaceMessage& CParamInterfaceMessage::check(CError* error) {
    if (error && !m_error)
        m_error = error;
    else if (error)
        qelErrRelease(error);
    return *this;
}

CParamInterfaceMessage& CParamInterfaceMessage::i32(int32_t value) {
    return check(m_buffer.writeValue(value));
}

CParamInterfaceMessage& CParamInterfaceMessage::f64(double value) {
    return check(m_buffer.writeValue(value));
}

CParamInterfaceMessage& CParamInterfaceMessage::str(const CString& text) {
    return check(m_buffer.writeString(text));
}

CByteBuffer CParamInterfaceMessage::take() {
    if (m_error) {
        qelErrReport(m_error);
        m_error = nullptr;
        return {};
    }
    return m_buffer.join();
}

} // namespace qel
