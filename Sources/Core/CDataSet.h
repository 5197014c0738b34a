#pragma once

#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CString.h"

namespace qel {

class CPosInputStream;

// Data read from a named resource (an embedded block, or a file of that name); derived classes own
// the format.
class CDataSet : public CCheckedObject {
public:
    CError* load(const CString& resourceName);
    // The name of the last load, so format errors can name what was read.
    const CString& resourceName() const { return m_resourceName; }

protected:
    virtual CError* read(CPosInputStream& stream) = 0;

private:
    CString m_resourceName;
};

} // namespace qel
