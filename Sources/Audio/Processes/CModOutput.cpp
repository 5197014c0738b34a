#include "Audio/Processes/CModOutput.h"

namespace qel {

CModOutput::~CModOutput() {
    dropKept();
}

void CModOutput::dropKept() {
    for (SAudioBlock*& block : m_kept) {
        CAudioBlockPool::release(block);
        block = nullptr;
    }
}

CError* CModOutput::prepare(const SAudioFormat& format) {
    ensurePorts(1, 0);
    QEL_CHECK(CAudioProcessBase::prepare(format));
    dropKept();
    m_kept.assign(size_t(std::max(format.channelCount, 0)), nullptr);
    return nullptr;
}

void CModOutput::reset() {
    CAudioProcessBase::reset();
    dropKept();
}

void CModOutput::process() {
    dropKept();
    for (int32_t channel = 0; channel < int32_t(m_kept.size()); ++channel)
        m_kept[size_t(channel)] = gather(0, channel);
    releaseInputs();
}

const SAudioBlock* CModOutput::block(int32_t channel) const {
    return channel >= 0 && channel < int32_t(m_kept.size()) ? m_kept[size_t(channel)] : nullptr;
}

} // namespace qel
