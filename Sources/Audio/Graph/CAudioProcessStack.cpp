#include "Audio/Graph/CAudioProcessStack.h"

#include <algorithm>
#include <cmath>

#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"

namespace qel {

namespace {

constexpr int32_t kMaxCopies = 64;

} // namespace

CAudioProcessStack::~CAudioProcessStack() {
    reset();
}

CError* CAudioProcessStack::init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                                 CAudioProcess* parent, int32_t stackIndex) {
    QEL_CHECK(CAudioProcessBase::init(def, env, name, parent, stackIndex));
    m_sink = std::make_unique<CAudioProcessBoundary>(env);
    if (!def.stackParam().isEmpty()) {
        m_countParam.attach(env.collector->getParam(resolveRelative(name, def.stackParam())));
    }
    return resize(wantedCount());
}

int32_t CAudioProcessStack::wantedCount() const {
    const double value = m_countParam.value(0, 0, 1.0);
    return std::clamp(int32_t(std::lround(value)), 1, kMaxCopies);
}

CError* CAudioProcessStack::resize(int32_t count) {
    while (int32_t(m_copies.size()) < count) {
        std::unique_ptr<CAudioProcessBase> copy = m_def->createProcess();
        QEL_CHECK(copy->init(*m_def, *m_env, m_name, m_parent,
                             int32_t(m_copies.size()) + m_def->stackIndexShift()));
        if (m_format.channelCount > 0) QEL_CHECK(copy->prepare(m_format));
        m_copies.push_back(std::move(copy));
    }
    m_count = count;
    wire();
    return nullptr;
}

void CAudioProcessStack::wire() {
    for (auto& copy : m_copies)
        copy->clearDestinations();
    for (int32_t i = 0; i + 1 < m_count; ++i)
        m_copies[size_t(i)]->addDestination(0, m_copies[size_t(i) + 1].get(), 0);
    m_copies[size_t(m_count) - 1]->addDestination(0, m_sink.get(), 0);
}

CError* CAudioProcessStack::prepare(const SAudioFormat& format) {
    QEL_CHECK(CAudioProcessBase::prepare(format));
    SAudioFormat copyFormat = format;
    for (auto& copy : m_copies) {
        QEL_CHECK(copy->prepare(copyFormat));
        copyFormat = copy->outputFormat(copyFormat);
    }
    m_sink->setFormat(copyFormat);
    QEL_CHECK(m_sink->prepare(copyFormat));
    return nullptr;
}

SAudioFormat CAudioProcessStack::outputFormat(const SAudioFormat& input) const {
    SAudioFormat format = input;
    for (int32_t i = 0; i < m_count; ++i)
        format = m_copies[size_t(i)]->outputFormat(format);
    return format;
}

int64_t CAudioProcessStack::outputLatency(int64_t inputLatency) const {
    for (int32_t i = 0; i < m_count; ++i)
        inputLatency = m_copies[size_t(i)]->outputLatency(inputLatency);
    return inputLatency;
}

void CAudioProcessStack::reset() {
    CAudioProcessBase::reset();
    for (auto& copy : m_copies)
        copy->reset();
    if (m_sink) m_sink->reset();
}

void CAudioProcessStack::applyParamUpdates() {
    uint32_t groups = 0;
    if (m_countParam.takeChange(groups)) {
        const int32_t wanted = wantedCount();
        if (wanted != m_count) qelErrLog(resize(wanted));
    }
    for (int32_t i = 0; i < m_count; ++i)
        m_copies[size_t(i)]->applyParamUpdates();
}

void CAudioProcessStack::exchangeGraphs() {
    for (int32_t i = 0; i < m_count; ++i)
        m_copies[size_t(i)]->exchangeGraphs();
}

void CAudioProcessStack::buildGraphs() {
    for (int32_t i = 0; i < m_count; ++i)
        m_copies[size_t(i)]->buildGraphs();
}

void CAudioProcessStack::process() {
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
        m_copies[0]->receive(0, channel, gather(0, channel));
        for (int32_t port = 1; port < inputPortCount(); ++port) {
            SAudioBlock* block = gather(port, channel);
            if (!block) continue;
            for (int32_t i = 0; i < m_count; ++i) {
                CAudioBlockPool::addRef(block);
                m_copies[size_t(i)]->receive(port, channel, block);
            }
            CAudioBlockPool::release(block);
        }
    }
    releaseInputs();
    for (int32_t i = 0; i < m_count; ++i)
        m_copies[size_t(i)]->run();
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel)
        deliver(0, channel, m_sink->take(0, channel));
    m_sink->drop();
}

} // namespace qel
