#include "Audio/Params/CAudioParamUndo.h"

#include <algorithm>

#include "Audio/Params/CAudioParamCollector.h"

namespace qel {

CError* CAudioParamUndo::init() {
    QEL_CHECK(CObject::init());
    m_maxDepth = getAttrInt("undo-count-max", 32);
    if (m_maxDepth < 5) m_maxDepth = 4;
    if (hasAttr("param-collector"))
        if (CError* error = findObjectByAttr("param-collector", m_collector))
            return QEL_PASS_CTX(error, fullName());
    return nullptr;
}

void CAudioParamUndo::add(std::unique_ptr<CAudioParamUndoRecord> record) {
    if (!record || record->isEmpty()) return;
    {
        CCriticalSectionGuard guard(m_lock);
        auto& records = m_history.records;
        int32_t& position = m_history.position;
        // A merged record continues the step before the position, so what can be redone stays.
        if (position > 0 && record->isMergeable()) {
            CAudioParamUndoRecord& previous = *records[size_t(position - 1)];
            if (previous.isMergeable() && previous.mergeKey() == record->mergeKey()) {
                previous.merge(*record);
                return;
            }
        }
        records.resize(size_t(position));
        if (int32_t(records.size()) >= m_maxDepth) records.erase(records.begin());
        records.push_back(std::move(record));
        position = int32_t(records.size());
    }
    onHistoryChanged();
}

void CAudioParamUndo::labels(std::vector<CString>& out, int32_t& position) const {
    CCriticalSectionGuard guard(m_lock);
    out.clear();
    out.push_back("Undo history start");
    for (const auto& record : m_history.records)
        out.push_back(record->label());
    position = m_history.position;
}

void CAudioParamUndo::goToPosition(int32_t position) {
    if (!m_collector) return;
    {
        CCriticalSectionGuard guard(m_lock);
        position = std::clamp(position, 0, int32_t(m_history.records.size()));
        while (m_history.position < position)
            m_history.records[size_t(m_history.position++)]->apply(*m_collector, true);
        while (m_history.position > position)
            m_history.records[size_t(--m_history.position)]->apply(*m_collector, false);
    }
    onHistoryChanged();
}

void CAudioParamUndo::clear() {
    setHistory(SHistory());
}

CAudioParamUndo::SHistory CAudioParamUndo::history() const {
    CCriticalSectionGuard guard(m_lock);
    return m_history;
}

void CAudioParamUndo::setHistory(SHistory history) {
    {
        CCriticalSectionGuard guard(m_lock);
        m_history = std::move(history);
    }
    onHistoryChanged();
}

void CAudioParamUndo::swapHistory(SHistory& other) {
    {
        CCriticalSectionGuard guard(m_lock);
        std::swap(m_history, other);
    }
    onHistoryChanged();
}

int32_t CAudioParamUndo::count() const {
    CCriticalSectionGuard guard(m_lock);
    return int32_t(m_history.records.size());
}

int32_t CAudioParamUndo::position() const {
    CCriticalSectionGuard guard(m_lock);
    return m_history.position;
}

} // namespace qel
