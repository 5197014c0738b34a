#pragma once

#include <vector>

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/SEmbeddedResource.h"

namespace qel {

class CObject;

// Library-wide start-up: class creators, embedded resources, the shared object; and instance roots.
class CApplication {
public:
    // Registers the creators of every table and the resources, then builds the shared object from
    // sharedDataName (an empty name makes an empty shared object). A duplicate tag stops start-up;
    // a failing shared tree is reported and start-up goes on.
    static CError* startup(const std::vector<const SCreatorEntry*>& tables,
                           const SEmbeddedResource* resources, const CString& sharedDataName);
    static void shutdown();

    static CError* initSharedObject(const CString& resourceName);
    // A new instance root with its own tree context; the caller owns it (release with releaseRootObject).
    static CError* initRootObject(const CString& resourceName, CObject*& root);
    static void releaseRootObject(CObject* root);
    static int32_t instanceCounter();
    static size_t liveTreeContexts();
};

// The classes of the core framework, ended by an entry with a null tag.
const SCreatorEntry* qelCoreClassTable();

} // namespace qel
