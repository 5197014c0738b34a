#include "Audio/CAudioCCTable.h"

#include "Audio/Params/CAudioParamCollector.h"
#include "Core/CInputStream.h"
#include "Core/CMemoryReader.h"
#include "UI/CAppDataLocal.h"

namespace qel {

namespace {

const char* const kDataName = "ccmap";
constexpr uint32_t kDataType = qelFourCC("adat");

} // namespace

CAudioCCTable::CAudioCCTable() : m_storeListener(this, &CAudioCCTable::onStoreChange) {}

CAudioCCTable::~CAudioCCTable() {
    m_storeListener.detach();
}

CError* CAudioCCTable::init() {
    QEL_CHECK(CObject::init());
    if (hasAttr("param-collector"))
        if (CError* error = findObjectByAttr("param-collector", m_collector))
            return QEL_PASS_CTX(error, fullName());
    return nullptr;
}

CError* CAudioCCTable::initComplete() {
    QEL_CHECK(CObject::initComplete());
    m_storeListener.attach(&CAppDataLocal::instance(), kDataName);
    // A damaged mapping must not keep the instance from starting.
    if (CError* error = load()) qelErrLog(error);
    return nullptr;
}

void CAudioCCTable::onStoreChange(const SUpdateRecord*, const SUpdateEntry&) {
    if (CError* error = load()) qelErrLog(error);
}

CAudioParam* CAudioCCTable::param(int32_t controller) const {
    if (controller < 0 || controller >= kControllerCount) return nullptr;
    CCriticalSectionGuard guard(m_lock);
    return m_table[size_t(controller)];
}

CError* CAudioCCTable::load() {
    CCriticalSectionGuard guard(m_lock);
    m_table.fill(nullptr);
    CByteBuffer block;
    if (!CAppDataLocal::instance().get(kDataName, kDataType, block)) return nullptr;
    CMemoryReader reader(std::move(block));
    int32_t count = 0;
    if (CError* error = reader.readValue(count)) return QEL_PASS_CTX(error, fullName());
    for (int32_t i = 0; i < count; ++i) {
        int32_t controller = 0;
        CString path;
        if (CError* error = reader.readValue(controller)) return QEL_PASS_CTX(error, fullName());
        if (CError* error = reader.readString(path)) return QEL_PASS_CTX(error, fullName());
        if (controller < 0 || controller >= kControllerCount || !m_collector) continue;
        m_table[size_t(controller)] = m_collector->findParam(path);
    }
    return nullptr;
}

} // namespace qel
