#pragma once

#include <cstdint>

#include "Audio/Params/CAudioParamCollector.h"
#include "Core/CObject.h"
#include "Core/CUpdateListener.h"

namespace qel {

class CAudioExtParamHostBridge;
class CAudioParamConverter;
class CAudioParam;

// "audio:ext-param": one value of one parameter (a group and element, value position 0, converter
// 0) exposed to the host as a normalised number under a short name.
class CAudioExtParam : public CObject,
                       public CUpdateListener,
                       public CAudioParamCollector::CDeferredListener {
public:
    ~CAudioExtParam() override;

    CError* init() override;
    CError* initComplete() override;

    const CString& extName() const { return m_extName; }
    int32_t group() const { return m_group; }
    int32_t elementIndex() const { return m_elementIndex; }
    CAudioParam* param() const { return m_param; }
    int32_t hostIndex() const { return m_hostIndex; }
    // The key of the exposed value in the core's map of host parameters.
    int32_t key() const { return m_group * 256 + m_elementIndex; }
    void attachHost(CAudioExtParamHostBridge* bridge, int32_t hostIndex);

    double getNormalized() const;
    void setNormalized(double normalized);
    CString displayText() const;
    CString textOfNormalized(double normalized) const;
    // A rejected text gives the current value's position.
    double normalizedOfText(const CString& text) const;
    // The unit shown next to the value.
    CString label() const;

protected:
    void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override;
    void onDeferredChange(int32_t code, double value) override;

private:
    void synchronise(const CAudioParam::CAccess* outer);
    // Converter 0, null until a registry attached the definition; both need the parameter's lock.
    const CAudioParamConverter* converter0() const;
    double exposedValue(const CAudioParam::CAccess& access) const;

    int32_t m_group = 0;
    int32_t m_elementIndex = 0;
    CString m_extName;
    CAudioParamCollector* m_collector = nullptr;
    CAudioParam* m_param = nullptr;
    int32_t m_hostIndex = -1;
    CAudioExtParamHostBridge* m_bridge = nullptr;
    double m_normalized = 0;
};

} // namespace qel
