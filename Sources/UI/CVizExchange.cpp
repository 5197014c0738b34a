#include "UI/CVizExchange.h"

#include <algorithm>
#include <cmath>

#include "Audio/Viz/VizRecordStream.h"
#include "Core/CTimerQueued.h"
#include "Other/CAudioInterfaceClient.h"

namespace qel {

void CVizExchange::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addEvent("timer-tick",
                    [](CObject& object) { return static_cast<CVizExchange&>(object).onTick(); });
    record.addAttrHandler("fps", [](CObject& object, const CString&, const CAttrValue& value) {
        auto& exchange = static_cast<CVizExchange&>(object);
        return exchange.m_timer ? exchange.m_timer->setAttr("fps", value.text(), true) : nullptr;
    });
}

CVizExchange::~CVizExchange() {
    if (m_client && m_client->vizProcessor() == this) m_client->setVizProcessor(nullptr);
}

CError* CVizExchange::initComplete() {
    QEL_CHECK(CObject::initComplete());
    if (CError* error = findObjectByAttr("interface-client", m_client))
        return QEL_PASS_CTX(error, fullName());
    m_client->setVizProcessor(this);
    const CString timerTag = getAttr("timer-tag");
    if (!timerTag.isEmpty())
        QEL_CHECK(CTimerQueued::createChildTimer(*this, timerTag, getAttr("fps"), "timer-tick", m_timer));
    return nullptr;
}

void CVizExchange::detachFromParent() {
    if (m_client && m_client->vizProcessor() == this) m_client->setVizProcessor(nullptr);
    m_client = nullptr;
    CObject::detachFromParent();
}

CError* CVizExchange::addView(const CString& slot, CView* view) {
    if (!view || m_views.count(view)) return nullptr;
    SViewState& state = m_views[view];
    state.slot = slot;
    state.vizId = ++m_vizIdCounter;
    if (!m_client) return nullptr;
    return m_client->listenViz(-1, slot, state.vizId);
}

CError* CVizExchange::removeView(CView* view) {
    auto state = m_views.find(view);
    if (state == m_views.end()) return nullptr;
    const int32_t vizId = state->second.vizId;
    m_views.erase(state);
    return m_client ? m_client->unlistenViz(vizId) : nullptr;
}

int32_t CVizExchange::inactiveTickLimit() const {
    const double fps = getAttrDouble("fps", 30.0);
    const double timeout = getAttrDouble("inactive-timeout", 1.0);
    return std::max(1, int32_t(std::lround(timeout * std::max(fps, 1.0))));
}

CError* CVizExchange::onTick() {
    if (m_client) QEL_CHECK(m_client->requestVizData(m_lastAudioTime));
    if (!m_active) return nullptr;
    const int32_t limit = inactiveTickLimit();
    for (auto& [view, state] : m_views) {
        if (state.reportedInactive || ++state.silentTicks < limit) continue;
        state.reportedInactive = true;
        view->onVizInactive();
    }
    return nullptr;
}

void CVizExchange::releaseDue(double time) {
    while (!m_queue.empty() && m_queue.front().time <= time) {
        SEntry entry = std::move(m_queue.front());
        m_queue.pop_front();
        for (auto& [view, state] : m_views) {
            if (state.slot != entry.slot) continue;
            for (const auto& record : entry.records)
                view->onVizRecord(entry.slot, *record);
            state.silentTicks = 0;
            state.reportedInactive = false;
        }
    }
}

CError* CVizExchange::onVizData(CInputStream& data) {
    double time = 0;
    QEL_CHECK(data.readValue(time));
    if (!std::isfinite(time))
        return QEL_ERROR(fullName(),
                         "@qelstr_CVizExchange_onVizData_InvalidTime Invalid visualisation time.");
    // The whole message is read before anything changes, so a broken one leaves no trace.
    std::vector<SEntry> arrived;
    for (;;) {
        int32_t count = 0;
        QEL_CHECK(data.readValue(count));
        if (count == 0) break;
        if (count < 0)
            return QEL_ERROR(fullName(),
                             "@qelstr_CVizExchange_onVizData_InvalidCount Invalid record count %1.", count);
        SEntry entry;
        entry.time = time;
        QEL_CHECK(data.readString(entry.slot));
        for (int32_t i = 0; i < count; ++i) {
            std::unique_ptr<CAudioVizData> record;
            QEL_CHECK(qelVizReadRecord(data, record));
            if (record) entry.records.push_back(std::move(record));
        }
        if (!entry.records.empty()) arrived.push_back(std::move(entry));
    }
    releaseDue(time);
    m_lastAudioTime = time;
    for (SEntry& entry : arrived) {
        auto position = std::upper_bound(m_queue.begin(), m_queue.end(), entry.time,
                                         [](double t, const SEntry& queued) { return t < queued.time; });
        m_queue.insert(position, std::move(entry));
    }
    return nullptr;
}

void CVizExchange::onStartViz() {
    m_active = true;
    for (auto& [view, state] : m_views) {
        state.silentTicks = 0;
        state.reportedInactive = false;
    }
}

void CVizExchange::onStopViz() {
    m_active = false;
}

void CVizExchange::onClearClient() {
    m_queue.clear();
    for (auto& [view, state] : m_views)
        state.silentTicks = 0;
}

} // namespace qel
