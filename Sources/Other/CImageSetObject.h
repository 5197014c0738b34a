#pragma once

#include <memory>

#include "Core/CObject.h"
#include "Other/CImageSet.h"

namespace qel {

// "imageset": one image set, loaded from the resource its "file" attribute names when the object is
// initialised.
class CImageSetObject : public CObject {
public:
    // Null until the object is initialised.
    const CImageSet* imageSet() const { return m_imageSet.get(); }

    CError* initComplete() override;

private:
    std::unique_ptr<CImageSet> m_imageSet;
};

} // namespace qel
