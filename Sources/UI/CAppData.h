#pragma once

#include <cstdint>
#include <map>

#include "Core/CInputStream.h"
#include "Core/CString.h"
#include "Core/CUpdateNotifier.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

// What a store sends to the listeners of an entry after it was written.
struct SAppDataUpdate : SUpdateRecord {
    static constexpr uint64_t kKind = qelFourCC("apdt");

    // Whoever wrote the entry; its own listeners ignore the change.
    const void* source = nullptr;
    const CString* name = nullptr;
};

// A process-wide store of named entries that outlive projects and are shared by every instance. Each
// entry is a small file holding one typed resource; a read falls back from the user's folder to the
// machine-wide folder, a legacy folder, the folder beside the plug-in file and finally to a default
// compiled into the plug-in. Entries read or written once stay cached until the library is unloaded.
// Without a user folder (sandboxed plug-in scanners run so) the store is disabled: reads yield
// nothing, writes go nowhere, and callers fall back to the compiled-in default (getDefault).
class CAppData : public CUpdateNotifier {
public:
    // The maker's folder below the application data folders, and its audio plug-ins' folder below that.
    static constexpr const char* kMakerFolder = "Quelmar";
    static constexpr const char* kPluginsFolder = "Audio Plug-Ins";
    // Text entries hold the text as a stream string in a resource of this type.
    static constexpr uint32_t kTextType = qelFourCC("dstr");

    // primaryRel and legacyRel are below the user's application data folder, moduleRel below the
    // folder of the plug-in file; each is empty or ends with "/". An empty legacyRel means none.
    CAppData(const CString& primaryRel, const CString& moduleRel, const CString& resourcePrefix,
             const CString& legacyRel);

    // The three process-wide stores, as definitions name them in "storage-type".
    enum class StorageType { Global, Group, Local };
    // "global", "group" or "local"; false for anything else.
    static bool parseStorageType(const CString& text, StorageType& type);
    static CAppData& store(StorageType type);

    // The entry's key, handed out from 1 upward on first use; listeners subscribe under it.
    int64_t key(const CString& name);

    // The entry's content of that type; false (and an empty block) when there is none anywhere.
    // bypassCache rereads the files, for changes made by other processes.
    bool get(const CString& name, uint32_t type, CByteBuffer& block, bool bypassCache = false);
    // Stores the block as the entry's content of that type in the user's folder and tells the entry's
    // listeners, except those of source. Write failures are silent.
    void set(const CString& name, const CByteBuffer& block, const void* source, uint32_t type);

    bool getText(const CString& name, CString& text, bool bypassCache = false);
    void setText(const CString& name, const CString& text, const void* source);

    // The resolved folders, each ending with "/"; empty when not available.
    CString primaryDir();
    CString commonDir();
    CString legacyDir();
    // No user folder: reads yield nothing, writes are dropped.
    bool isDisabled();
    // The default compiled into the plug-in for an entry, wherever the store looks.
    bool getDefault(const CString& name, uint32_t type, CByteBuffer& block);

protected:
    // The folder holding the plug-in file, without a trailing separator.
    virtual CString moduleFolder() const;

private:
    struct SCached {
        uint32_t type = 0;
        CByteBuffer block;
    };

    // Both with m_lock held.
    void resolve();
    bool readFirstExisting(const CString& name, uint32_t type, CByteBuffer& block);

    const CString m_primaryRel;
    const CString m_moduleRel;
    const CString m_resourcePrefix;
    const CString m_legacyRel;

    CString m_primaryDir;
    CString m_commonDir;
    CString m_legacyDir;
    CString m_moduleDir;
    bool m_resolved = false;
    bool m_disabled = false;
    bool m_writableChecked = false;
    bool m_writable = false;

    CCriticalSection m_lock{4000};
    std::map<CString, int64_t> m_names;
    std::map<int64_t, SCached> m_cache;
};

} // namespace qel
