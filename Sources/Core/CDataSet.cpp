#include "Core/CDataSet.h"

#include "Core/CResourceReader.h"

namespace qel {

CError* CDataSet::load(const CString& resourceName) {
    m_resourceName = resourceName;
    CResourceReader reader;
    if (CError* error = reader.open(resourceName)) return QEL_PASS_CTX(error, resourceName);
    if (CError* error = read(reader)) return QEL_PASS_CTX(error, resourceName);
    return nullptr;
}

} // namespace qel
