#include "Audio/Graph/CAudioModule.h"

#include "Audio/Graph/CAudioProcessTerminalBase.h"

namespace qel {

CError* CAudioModule::init(CAudioProcessTerminalBase& terminal, int32_t channel) {
    m_terminal = &terminal;
    m_channel = channel;
    return nullptr;
}

void CAudioModule::prepare(double sampleRate, uint32_t) {
    m_sampleRate = sampleRate;
}

SAudioBlock* CAudioModule::forward(SAudioBlock* const*, int32_t) {
    return nullptr;
}

double CAudioModule::slot(int32_t index, double unattached) const {
    return m_terminal->slotValue(index, m_channel, unattached);
}

} // namespace qel
