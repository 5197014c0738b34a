#pragma once

#include <memory>
#include <vector>

#include "Audio/Params/CAudioParamUndoRecord.h"
#include "Core/CObject.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CAudioParamCollector;

// The undo history of an instance's parameter changes.
class CAudioParamUndo : public CObject {
public:
    // A history taken out of the undo object, for a program or the other side of an A/B comparison.
    struct SHistory {
        std::vector<std::shared_ptr<CAudioParamUndoRecord>> records;
        int32_t position = 0;
    };

    CError* init() override;

    void setCollector(CAudioParamCollector* collector) { m_collector = collector; }
    CAudioParamCollector* collector() const { return m_collector; }

    // Takes the record; a record without changed values is dropped.
    void add(std::unique_ptr<CAudioParamUndoRecord> record);
    // "Undo history start" followed by every record's label; position is where the history stands.
    void labels(std::vector<CString>& out, int32_t& position) const;
    // Undoes or redoes until the history stands at position (0 to count).
    void goToPosition(int32_t position);
    void clear();

    SHistory history() const;
    void setHistory(SHistory history);
    void swapHistory(SHistory& other);

    int32_t count() const;
    int32_t position() const;
    int32_t maxDepth() const { return m_maxDepth; }

protected:
    // Called after every change of the history.
    virtual void onHistoryChanged() {}

private:
    mutable CCriticalSection m_lock{4000};
    SHistory m_history;
    int32_t m_maxDepth = 32;
    CAudioParamCollector* m_collector = nullptr;
};

} // namespace qel
