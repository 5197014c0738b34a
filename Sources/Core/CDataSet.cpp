#include "Core/CDataSet.h"

#include "Core/CResourceReader.h"

namespace qel {

CError* CDataSet::load(const CString& resourceName) {
    CResourceReader reader;
    QEL_CHECK(reader.open(resourceName));
    QEL_CHECK(read(reader));
    return nullptr;
}

} // namespace qel
