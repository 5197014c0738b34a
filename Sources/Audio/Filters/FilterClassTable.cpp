#include "Audio/Filters/FilterClassTable.h"

#include "Audio/Filters/CAudioFilterBypassGen.h"
#include "Audio/Filters/CAudioFilterFIRHilbGen.h"
#include "Audio/Filters/CAudioFilterFIRLPGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterGenArrayItem.h"
#include "Audio/Filters/CAudioFilterLPHP1Gen.h"
#include "Audio/Filters/CAudioFilterMagnusGen.h"
#include "Audio/Filters/CAudioFilterRBJGen.h"
#include "Audio/Filters/CAudioFilterSerialGen.h"
#include "Audio/Filters/CAudioFilterSerialGenItem.h"

namespace qel {

const SCreatorEntry* qelFilterClassTable() {
    static const SCreatorEntry table[] = {
        {"audio:fltgen-bypass", qelCreate<CAudioFilterBypassGen>, CClassRecord::initObject},
        {"audio:fltgen-lphp1", qelCreate<CAudioFilterLPHP1Gen>, CClassRecord::initObject},
        {"audio:fltgen-rbj", qelCreate<CAudioFilterRBJGen>, CClassRecord::initObject},
        {"audio:fltgen-magnus", qelCreate<CAudioFilterMagnusGen>, CClassRecord::initObject},
        {"audio:fltgen-serial", qelCreate<CAudioFilterSerialGen>, CClassRecord::initObject},
        {"audio:fltgen-serial-item", qelCreate<CAudioFilterSerialGenItem>, CClassRecord::initObject},
        {"audio:fltgen-firlp", qelCreate<CAudioFilterFIRLPGen>, CClassRecord::initObject},
        {"audio:fltgen-firhilb", qelCreate<CAudioFilterFIRHilbGen>, CClassRecord::initObject},
        {"audio:fltgen-array", qelCreate<CAudioFilterGenArray>, CClassRecord::initObject},
        {"audio:fltgen-array-item", qelCreate<CAudioFilterGenArrayItem>, CClassRecord::initObject},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
