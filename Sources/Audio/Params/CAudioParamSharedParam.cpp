#include "Audio/Params/CAudioParamSharedParam.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

namespace {

constexpr uint32_t kRawType = qelFourCC("adat");

} // namespace

CAudioParamCollector::CSharedParam::CSharedParam(CAudioParamCollector& collector, CAudioParam& param,
                                                 CAppData& store, const CString& dataName)
    : m_param(param), m_store(store), m_dataName(dataName) {
    attach(&collector, 0);
    m_dataListener.attach(&store, dataName);
}

CAudioParamCollector::CSharedParam::~CSharedParam() {
    detach();
}

void CAudioParamCollector::CSharedParam::onUpdate(const SUpdateRecord* record, const SUpdateEntry&) {
    if (!record || record->kind != SAudioParamUpdate::kKind) return;
    const auto* update = static_cast<const SAudioParamUpdate*>(record);
    const SAudioParamChange& change = *update->change;
    if (update->param != &m_param || change.cause == this || !m_param.info()) return;
    const bool firstValue =
        (change.group == 0 || change.group == CAudioParamStorage::kCommonGroup) && change.firstElement == 0;
    if (firstValue) writeToStore();
}

void CAudioParamCollector::CSharedParam::writeToStore() {
    const CAudioParamInfo& info = *m_param.info();
    const double value = m_param.getValue(0, 0, 0.0);
    const CAudioParamData& pool = m_param.values().pool();
    switch (info.dataType) {
    case CAudioParamInfo::Float: {
        const CAudioParamConverter* converter = info.converter(0);
        if (!converter) return;
        CString text;
        converter->valueToText(text, info, 0, value, &pool, CAudioParamConverter::Normal);
        m_store.setText(m_dataName, text, this);
        break;
    }
    case CAudioParamInfo::String:
        m_store.setText(m_dataName, pool.getString(CAudioParamData::indexOfValue(value)), this);
        break;
    case CAudioParamInfo::Raw:
        m_store.set(m_dataName, pool.getRaw(CAudioParamData::indexOfValue(value)), this, kRawType);
        break;
    }
}

void CAudioParamCollector::CSharedParam::onStoreChange(const SUpdateRecord*, const SUpdateEntry&) {
    m_loaded = false;
    loadFromStore();
}

void CAudioParamCollector::CSharedParam::loadFromStore() {
    const CAudioParamInfo* info = m_param.info();
    if (m_loaded || !info) return;
    m_loaded = true;
    CAudioParamData pool;
    double value = 0;
    if (info->dataType == CAudioParamInfo::Raw) {
        CByteBuffer block;
        if (!m_store.get(m_dataName, kRawType, block) || block.empty()) return;
        value = pool.addRaw(std::move(block));
    } else {
        CString text;
        if (!m_store.getText(m_dataName, text)) return;
        if (info->dataType == CAudioParamInfo::String) {
            value = pool.addString(text);
        } else {
            const CAudioParamConverter* converter = info->converter(0);
            bool accepted = false;
            value = converter ? converter->textToValue(*info, 0, text, &accepted) : 0.0;
            if (!accepted) return;
        }
    }
    if (info->dataType == CAudioParamInfo::Float) {
        m_param.setValue(0, 0, 0, value, this);
        return;
    }
    SAudioParamChange change;
    change.values = &value;
    change.pool = &pool;
    change.cause = this;
    m_param.applyChange(change);
}

} // namespace qel
