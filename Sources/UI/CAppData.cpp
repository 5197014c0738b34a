#include "UI/CAppData.h"

#include <atomic>

#include "Core/CDebugLog.h"
#include "Core/CMemoryReader.h"
#include "Core/CResourceContainer.h"
#include "Core/CResourceRegistry.h"
#include "Core/CSystem.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Platform/PlatformFolders.h"
#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataGroup.h"
#include "UI/CAppDataLocal.h"

namespace qel {

namespace {

// Every store finds the same, so the log says it once per process.
void reportNoUserFolder() {
    static std::atomic<bool> reported{false};
    if (reported.exchange(true)) return;
    CDebugLog::writeLine("No user data folder (" + platform::userDataFolderMissingReason() +
                         "): the stores are off, the compiled-in defaults are used and nothing is saved.");
}

} // namespace

bool CAppData::parseStorageType(const CString& text, StorageType& type) {
    if (text == "global")
        type = StorageType::Global;
    else if (text == "group")
        type = StorageType::Group;
    else if (text == "local")
        type = StorageType::Local;
    else
        return false;
    return true;
}

CAppData& CAppData::store(StorageType type) {
    switch (type) {
    case StorageType::Global:
        return CAppDataGlobal::instance();
    case StorageType::Group:
        return CAppDataGroup::instance();
    case StorageType::Local:
        break;
    }
    return CAppDataLocal::instance();
}

CAppData::CAppData(const CString& primaryRel, const CString& moduleRel, const CString& resourcePrefix,
                   const CString& legacyRel)
    : m_primaryRel(primaryRel), m_moduleRel(moduleRel), m_resourcePrefix(resourcePrefix),
      m_legacyRel(legacyRel) {}

CString CAppData::moduleFolder() const {
    return CSystem::libraryFolder();
}

void CAppData::resolve() {
    m_resolved = true;
    const CString user = CSystem::userAppDataFolder();
    if (user.isEmpty()) {
        m_disabled = true;
        reportNoUserFolder();
        return;
    }
    m_primaryDir = user + "/" + m_primaryRel;
    const CString machine = CSystem::commonAppDataFolder();
    if (!machine.isEmpty()) m_commonDir = machine + "/" + m_primaryRel;
    if (!m_legacyRel.isEmpty()) m_legacyDir = user + "/" + m_legacyRel;
    const CString module = moduleFolder();
    if (!module.isEmpty()) m_moduleDir = module + "/" + m_moduleRel;
}

int64_t CAppData::key(const CString& name) {
    CCriticalSectionGuard guard(m_lock);
    return m_names.try_emplace(name, int64_t(m_names.size()) + 1).first->second;
}

bool CAppData::readFirstExisting(const CString& name, uint32_t type, CByteBuffer& block) {
    // The first place that has the entry decides, even when it holds another type or is damaged: a
    // user's file always hides the machine's and the default.
    CString source;
    for (const CString* dir : {&m_primaryDir, &m_commonDir, &m_legacyDir, &m_moduleDir}) {
        if (dir->isEmpty()) continue;
        CString path = *dir + name;
        if (platform::pathExists(path) && !platform::isDirectory(path)) {
            source = std::move(path);
            break;
        }
    }
    if (source.isEmpty()) return getDefault(name, type, block);
    bool found = false;
    if (CError* error = CResourceContainer::load(source, type, block, found)) {
        qelErrLog(QEL_PASS_CTX(error, source));
        return false;
    }
    return found;
}

bool CAppData::getDefault(const CString& name, uint32_t type, CByteBuffer& block) {
    block.clear();
    const CString source = m_resourcePrefix + name;
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    if (!CResourceRegistry::find(source, bytes, size)) return false;
    bool found = false;
    if (CError* error = CResourceContainer::load(source, type, block, found)) {
        qelErrLog(QEL_PASS_CTX(error, source));
        return false;
    }
    return found;
}

bool CAppData::get(const CString& name, uint32_t type, CByteBuffer& block, bool bypassCache) {
    block.clear();
    CCriticalSectionGuard guard(m_lock);
    if (!m_resolved) resolve();
    if (m_disabled) return false;

    const int64_t entryKey = key(name);
    auto cached = m_cache.find(entryKey);
    const bool cachedSameType = cached != m_cache.end() && cached->second.type == type;
    if (cachedSameType && !bypassCache) {
        block = cached->second.block;
        return true;
    }
    CByteBuffer content;
    if (readFirstExisting(name, type, content)) {
        SCached& entry = m_cache[entryKey];
        entry.type = type;
        entry.block = content;
        block = std::move(content);
        return true;
    }
    if (!cachedSameType) return false;
    block = cached->second.block;
    return true;
}

void CAppData::set(const CString& name, const CByteBuffer& block, const void* source, uint32_t type) {
    int64_t entryKey = 0;
    {
        CCriticalSectionGuard guard(m_lock);
        if (!m_resolved) resolve();
        if (m_disabled) return;
        if (!m_writableChecked) {
            m_writableChecked = true;
            CError* error = CSystem::createDirectories(m_primaryDir);
            m_writable = !error;
            qelErrLog(error);
        }
        if (!m_writable) return;

        entryKey = key(name);
        SCached& entry = m_cache[entryKey];
        entry.type = type;
        entry.block = block;
        if (CError* error = CResourceContainer::save(m_primaryDir + name, type, block)) {
            qelErrLog(error);
            return;
        }
    }
    // Outside the lock: handlers commonly read the entry back, possibly from another thread's store call.
    SAppDataUpdate record;
    record.kind = SAppDataUpdate::kKind;
    record.key = entryKey;
    record.source = source;
    record.name = &name;
    notify(&record);
}

bool CAppData::getText(const CString& name, CString& text, bool bypassCache) {
    text.clear();
    CByteBuffer block;
    if (!get(name, kTextType, block, bypassCache)) return false;
    CMemoryReader reader(std::move(block));
    if (CError* error = reader.readString(text)) {
        qelErrLog(QEL_PASS_CTX(error, name));
        return false;
    }
    return true;
}

void CAppData::setText(const CString& name, const CString& text, const void* source) {
    CWriteSeqBuffer buffer;
    qelErrRelease(buffer.writeString(text)); // a sequential buffer never fails
    set(name, buffer.join(), source, kTextType);
}

CString CAppData::primaryDir() {
    CCriticalSectionGuard guard(m_lock);
    if (!m_resolved) resolve();
    return m_primaryDir;
}

CString CAppData::commonDir() {
    CCriticalSectionGuard guard(m_lock);
    if (!m_resolved) resolve();
    return m_commonDir;
}

CString CAppData::legacyDir() {
    CCriticalSectionGuard guard(m_lock);
    if (!m_resolved) resolve();
    return m_legacyDir;
}

bool CAppData::isDisabled() {
    CCriticalSectionGuard guard(m_lock);
    if (!m_resolved) resolve();
    return m_disabled;
}

} // namespace qel
