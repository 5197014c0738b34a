#pragma once

#include <array>

#include "Core/CObject.h"
#include "Core/Platform/CCriticalSection.h"
#include "UI/CAppDataListener.h"

namespace qel {

class CAudioParam;
class CAudioParamCollector;

// "audio:cctable": MIDI controller numbers mapped to parameters. The mapping lives in the local
// application data ("ccmap") so that every instance shares it.
class CAudioCCTable : public CObject {
public:
    static constexpr int32_t kControllerCount = 128;

    CAudioCCTable();
    ~CAudioCCTable() override;

    CError* init() override;
    CError* initComplete() override;

    // Null when the controller is unmapped or out of range.
    CAudioParam* param(int32_t controller) const;
    // Reads the mapping again; a damaged entry keeps the slots read before the damage.
    CError* load();

private:
    void onStoreChange(const SUpdateRecord* record, const SUpdateEntry& entry);

    mutable CCriticalSection m_lock{4000};
    std::array<CAudioParam*, kControllerCount> m_table{};
    CAudioParamCollector* m_collector = nullptr;
    CAppDataListener<CAudioCCTable> m_storeListener;
};

} // namespace qel
