#pragma once

#include "Audio/Params/CAudioParamCollector.h"
#include "UI/CAppDataListener.h"

namespace qel {

// Mirrors the first value (group 0, element 0, position 0) of a parameter into an application data
// entry and back: every instance of the process sees the same setting.
class CAudioParamCollector::CSharedParam : public CUpdateListener {
public:
    CSharedParam(CAudioParamCollector& collector, CAudioParam& param, CAppData& store,
                 const CString& dataName);
    ~CSharedParam() override;

    // Takes the stored value, once the parameter has its definition.
    void loadFromStore();

protected:
    // A change of the parameter, from the collector.
    void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override;

private:
    void onStoreChange(const SUpdateRecord* record, const SUpdateEntry& entry);
    void writeToStore();

    CAudioParam& m_param;
    CAppData& m_store;
    const CString m_dataName;
    bool m_loaded = false;
    CAppDataListener<CSharedParam> m_dataListener{this, &CSharedParam::onStoreChange};
};

} // namespace qel
