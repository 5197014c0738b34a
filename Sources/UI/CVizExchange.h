#pragma once

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "Audio/Viz/CAudioVizData.h"
#include "Core/CObject.h"
#include "Other/CAudioInterfaceVizProcessor.h"

namespace qel {

class CAudioInterfaceClient;
class CTimerQueued;

// "ui:viz-exchange": pulls display data from the audio side at the user-interface frame rate and
// hands each record to the views registered for its slot once its time has come: records of one
// message are held until a later message's audio time reaches theirs.
class CVizExchange : public CObject, public CAudioInterfaceVizProcessor {
public:
    class CView {
    public:
        virtual ~CView() = default;
        virtual void onVizRecord(const CString& slot, const CAudioVizData& record) = 0;
        // No record arrived for "inactive-timeout" seconds while visualisation was running; told once
        // until records come again.
        virtual void onVizInactive() {}
    };

    ~CVizExchange() override;

    CError* initComplete() override;
    void detachFromParent() override;

    // Registers a view for a slot with the audio side.
    CError* addView(const CString& slot, CView* view);
    CError* removeView(CView* view);

    CError* onVizData(CInputStream& data) override;
    void onStartViz() override;
    void onStopViz() override;
    void onClearClient() override;
    // One timer tick: asks for data and counts the views' silent ticks.
    CError* onTick();

    bool isActive() const { return m_active; }
    size_t queuedEntries() const { return m_queue.size(); }
    double lastAudioTime() const { return m_lastAudioTime; }

    static void initClass(CClassRecord& record);

private:
    struct SEntry {
        double time = 0;
        CString slot;
        std::vector<std::unique_ptr<CAudioVizData>> records;
    };
    struct SViewState {
        CString slot;
        int32_t vizId = 0;
        int32_t silentTicks = 0;
        bool reportedInactive = false;
    };

    void releaseDue(double time);
    int32_t inactiveTickLimit() const;

    CAudioInterfaceClient* m_client = nullptr;
    CTimerQueued* m_timer = nullptr;
    std::deque<SEntry> m_queue; // ascending time
    std::map<CView*, SViewState> m_views;
    int32_t m_vizIdCounter = 0;
    double m_lastAudioTime = 0;
    bool m_active = false;
};

} // namespace qel
