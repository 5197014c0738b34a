#include "Audio/Params/CAudioExtParam.h"

#include <algorithm>

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Params/CAudioExtParamHostBridge.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

namespace {

constexpr int32_t kMaxNameLength = 7;

double clampNormalized(double n) {
    return std::clamp(n, 0.0, 1.0);
}

} // namespace

CAudioExtParam::~CAudioExtParam() {
    detach();
    if (m_collector) m_collector->forgetDeferred(this);
}

CError* CAudioExtParam::init() {
    QEL_CHECK(CObject::init());
    if (CError* error = findObjectByAttr("param-collector", m_collector))
        return QEL_PASS_CTX(error, fullName());
    m_extName = getAttr("ext-name");
    if (m_extName.isEmpty() || m_extName.length() > kMaxNameLength)
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioExtParam_attrExtName_LongName Externalized parameter name '%1' is too long",
            m_extName);
    m_elementIndex = getAttrInt("element-index", 0);
    m_group = getAttrInt("group", 0);
    m_param = m_collector->getParam(getAttr("param-name"));
    attach(m_collector, 0);
    synchronise(nullptr);
    return nullptr;
}

CError* CAudioExtParam::initComplete() {
    QEL_CHECK(CObject::initComplete());
    // The registries attach definitions once the whole instance is built.
    synchronise(nullptr);
    return nullptr;
}

void CAudioExtParam::attachHost(CAudioExtParamHostBridge* bridge, int32_t hostIndex) {
    m_bridge = bridge;
    m_hostIndex = hostIndex;
}

const CAudioParamConverter* CAudioExtParam::converter0() const {
    const CAudioParamInfo* info = m_param->info();
    return info ? info->converter(0) : nullptr;
}

double CAudioExtParam::exposedValue(const CAudioParam::CAccess& access) const {
    return m_param->getValue(m_group, m_elementIndex * m_param->info()->elementSize, 0.0, &access);
}

void CAudioExtParam::synchronise(const CAudioParam::CAccess* outer) {
    if (!m_param) return;
    CAudioParam::CAccess access(*m_param, outer);
    const CAudioParamConverter* converter = converter0();
    if (!converter) return;
    const double value = exposedValue(outer ? *outer : access);
    const double normalized = clampNormalized(converter->toNormalized(*m_param->info(), 0, value));
    if (normalized == m_normalized) return;
    m_normalized = normalized;
    // The host hears about it once the parameter's lock is released.
    if (m_bridge) m_collector->queueDeferred(this, m_hostIndex, normalized);
}

void CAudioExtParam::onDeferredChange(int32_t code, double value) {
    if (m_bridge) m_bridge->hostAutomate(code, value);
}

void CAudioExtParam::onUpdate(const SUpdateRecord* record, const SUpdateEntry&) {
    if (!record || record->kind != SAudioParamUpdate::kKind) return;
    const auto* update = static_cast<const SAudioParamUpdate*>(record);
    if (update->param != m_param || !update->change) return;
    const SAudioParamChange& change = *update->change;
    if (change.group != CAudioParamStorage::kCommonGroup) {
        if (change.cause == this || change.group != m_group) return;
        if (m_elementIndex < change.firstElement ||
            m_elementIndex >= change.firstElement + change.elementCount)
            return;
    }
    // Changes are announced with the parameter's lock held by the changing thread.
    synchronise(nullptr);
}

double CAudioExtParam::getNormalized() const {
    if (!m_param) return m_normalized;
    CAudioParam::CAccess access(*m_param, nullptr);
    return m_normalized;
}

void CAudioExtParam::setNormalized(double normalized) {
    if (!m_param) return;
    normalized = clampNormalized(normalized);
    CAudioParam::CAccess access(*m_param, nullptr);
    if (normalized == m_normalized) return;
    m_normalized = normalized;
    const CAudioParamConverter* converter = converter0();
    if (!converter) return;
    m_param->setValue(m_group, m_elementIndex, 0, converter->fromNormalized(*m_param->info(), 0, normalized),
                      this, &access);
}

CString CAudioExtParam::textOfNormalized(double normalized) const {
    if (!m_param) return CString();
    CAudioParam::CAccess access(*m_param, nullptr);
    const CAudioParamConverter* converter = converter0();
    if (!converter) return CString();
    const CAudioParamInfo& info = *m_param->info();
    CString text;
    converter->valueToText(text, info, 0, converter->fromNormalized(info, 0, clampNormalized(normalized)),
                           &m_param->values().pool(), CAudioParamConverter::Short);
    return text;
}

CString CAudioExtParam::displayText() const {
    if (!m_param) return CString();
    CAudioParam::CAccess access(*m_param, nullptr);
    const CAudioParamConverter* converter = converter0();
    if (!converter) return CString();
    CString text;
    converter->valueToText(text, *m_param->info(), 0, exposedValue(access), &m_param->values().pool(),
                           CAudioParamConverter::Short);
    return text;
}

double CAudioExtParam::normalizedOfText(const CString& text) const {
    if (!m_param) return 0.5;
    CAudioParam::CAccess access(*m_param, nullptr);
    const CAudioParamConverter* converter = converter0();
    if (!converter) return 0.5;
    const CAudioParamInfo& info = *m_param->info();
    bool accepted = false;
    double value = converter->textToValue(info, 0, text, &accepted);
    if (!accepted) value = exposedValue(access);
    return clampNormalized(converter->toNormalized(info, 0, value));
}

CString CAudioExtParam::label() const {
    if (!m_param) return CString();
    CAudioParam::CAccess access(*m_param, nullptr);
    const CAudioParamConverter* converter = converter0();
    return converter ? converter->label() : CString();
}

} // namespace qel
