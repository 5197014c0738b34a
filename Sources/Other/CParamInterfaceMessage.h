#pragma once

#include <cstdint>

#include "Core/CWriteSeqBuffer.h"

namespace qel {

// One message between an interface base and its clients: the command name, then the command's
// fields. Built in 256-byte blocks; the first write error is kept and the message is then not sent.
class CParamInterfaceMessage {
public:
    explicit CParamInterfaceMessage(const CString& command);

    CParamInterfaceMessage& i32(int32_t value);
    CParamInterfaceMessage& f64(double value);
    CParamInterfaceMessage& str(const CString& text);
    // For embedded blocks written by their owners.
    COutputStream& stream() { return m_buffer; }
    CParamInterfaceMessage& check(CError* error);

    CError* error() const { return m_error; }
    // The whole message in one contiguous buffer; empty when building failed (the error is reported).
    CByteBuffer take();

private:
    CWriteSeqBuffer m_buffer{256};
    CError* m_error = nullptr;
};

} // namespace qel
