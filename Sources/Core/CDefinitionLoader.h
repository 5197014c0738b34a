#pragma once

#include "Core/CError.h"
#include "Core/CStringTable.h"
#include "Core/CTemplateBody.h"

namespace qel {

class CObject;
class CMemoryReaderStatic;

// Builds object trees from compiled definition data: whole resources, and template bodies on
// instantiation.
class CDefinitionLoader {
public:
    struct Switches {
        bool runPhases = false;
        bool skipLead = false;
        bool skipAttributes = false;
        bool attributesOnly = false;
    };

    static CError* loadXMLData(CObject& object, const CString& resourceName, bool runPhases);
    // Applies a template body to an instance: only its root's attributes, or only its children.
    static CError* loadBody(CObject& object, const CTemplateBody& body, bool attributesOnly);
    static CError* loadNode(CObject& object, CMemoryReaderStatic& cursor, const CStringTableRef& strings,
                            bool isStatic, Switches switches);
};

} // namespace qel
