#pragma once

#include <cstdint>
#include <memory>

#include "Other/CParamInterfaceBase.h"
#include "Other/CParamInterfaceBaseConnector.h"

namespace qel {

class CAudioInterfaceDataProvider;
class CAudioVizCollector;

// "audio:interface-base": the parameter interface base of a plug-in instance. Adds channel counts,
// the sample rate and visualisation data, and passes the core's audio state changes to every client.
class CAudioInterfaceBase : public CParamInterfaceBase {
public:
    // Re-sends the export slot names whenever the parameter naming them changes.
    class CExportSlotNameListener : public CUpdateListener {
    public:
        CExportSlotNameListener(CAudioInterfaceBase& base, CAudioParam& param)
            : m_base(base), m_param(param) {}
        ~CExportSlotNameListener() override { detach(); }

    protected:
        void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override;

    private:
        CAudioInterfaceBase& m_base;
        CAudioParam& m_param;
    };

    ~CAudioInterfaceBase() override;

    CError* init() override;
    CError* initComplete() override;
    void detachFromParent() override;

    void setDataProvider(CAudioInterfaceDataProvider* provider);
    CAudioInterfaceDataProvider* dataProvider() const { return m_provider; }
    CAudioVizCollector* vizCollector() const { return m_vizCollector; }

    // The core's audio state notifications, sent to every client.
    void sendStartViz();
    void sendStopViz();
    void sendClearClient();
    void sendUpdateIoChannelCounts() { sendIoChannelCounts(CParamInterfaceBaseConnector::kAllClients); }
    void sendUpdateSampleRate() { sendSampleRate(CParamInterfaceBaseConnector::kAllClients); }

    void sendExportSlotNames(uint32_t clientId);

    static void initClass(CClassRecord& record);

protected:
    void onBeginEdit(const CAudioParam& param, int32_t group, int32_t element) override;
    void onEndEdit(const CAudioParam& param, int32_t group, int32_t element) override;

private:
    void sendIoChannelCounts(uint32_t clientId);
    void sendSampleRate(uint32_t clientId);
    void sendCommandOnly(const char* command);

    CError* onRequestInternalChannelCount();
    CError* onRequestGroupCount();
    CError* onRequestIoChannelCounts();
    CError* onRequestSampleRate();
    CError* onRequestExportSlotNames();
    CError* onListenViz();
    CError* onRequestVizData();
    CError* onUnlistenViz();
    CError* onImportChannelLabels();

    CAudioInterfaceDataProvider* m_provider = nullptr;
    CAudioVizCollector* m_vizCollector = nullptr;
    // Orders the sample-rate messages: clients drop one older than the last they took.
    CCriticalSection m_sampleRateLock{4000};
    int32_t m_sampleRateSequence = 0;
    std::unique_ptr<CExportSlotNameListener> m_exportSlotNameListener;
};

} // namespace qel
