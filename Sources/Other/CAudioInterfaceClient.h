#pragma once

#include "Other/CParamInterfaceClient.h"

namespace qel {

class CAudioInterfaceVizProcessor;

// "audio:interface-client": the interface client of a plug-in editor. Adds channel counts, the sample
// rate, the channel group names and visualisation data.
class CAudioInterfaceClient : public CParamInterfaceClient {
public:
    // Keeps the group names of "group-names-param".
    class CGroupNamesParamListener : public CParamInterfaceParamListener {
    public:
        explicit CGroupNamesParamListener(CAudioInterfaceClient& client) : m_client(client) {}
        void onParamInfo(int32_t handle, const CAudioParamInfo* info,
                         const CAudioParamStorage* common) override;
        void onParamValues(int32_t handle, int32_t group, const CAudioParamStorage& values) override;

    private:
        CAudioInterfaceClient& m_client;
    };

    CAudioInterfaceClient() : m_groupNamesListener(*this) {}

    void setVizProcessor(CAudioInterfaceVizProcessor* processor) { m_vizProcessor = processor; }
    CAudioInterfaceVizProcessor* vizProcessor() const { return m_vizProcessor; }

    CError* requestInternalChannelCount();
    CError* requestGroupCount();
    CError* requestIoChannelCounts();
    CError* requestSampleRate();
    CError* requestExportSlotNames();
    // slot -1 selects the slot by name alone; a second registration of an identifier is ignored.
    CError* listenViz(int32_t slot, const CString& slotName, int32_t vizId);
    CError* requestVizData(double time);
    CError* unlistenViz(int32_t vizId);
    CError* importChannelLabels();

    int32_t internalChannelCount() const { return m_internalChannelCount; }
    int32_t groupCount() const { return m_groupCount; }
    int32_t inputCount() const { return m_inputs; }
    int32_t outputCount() const { return m_outputs; }
    int32_t sidechainCount() const { return m_sidechains; }
    double sampleRate() const { return m_sampleRate; }
    int32_t sampleRateSequence() const { return m_sampleRateSequence; }
    const std::vector<CString>& exportSlotNames() const { return m_exportSlotNames; }
    const std::vector<CString>& groupNames() const { return m_groupNames; }

    static void initClass(CClassRecord& record);

protected:
    CError* onConnected() override;

private:
    CError* onClearClient();
    CError* onStartViz();
    CError* onStopViz();
    CError* onVizData();
    CError* onExportSlotNames();
    CError* onUpdateInternalChannelCount();
    CError* onUpdateGroupCount();
    CError* onUpdateIoChannelCounts();
    CError* onUpdateSampleRate();
    CError* readCount(int32_t& value);

    CAudioInterfaceVizProcessor* m_vizProcessor = nullptr;
    CGroupNamesParamListener m_groupNamesListener;
    int32_t m_internalChannelCount = 1;
    int32_t m_groupCount = 1;
    int32_t m_inputs = 1;
    int32_t m_outputs = 1;
    int32_t m_sidechains = 0;
    double m_sampleRate = 44100.0;
    int32_t m_sampleRateSequence = 0;
    std::vector<CString> m_exportSlotNames;
    std::vector<CString> m_groupNames;
};

} // namespace qel
