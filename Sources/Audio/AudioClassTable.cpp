#include "Audio/AudioClassTable.h"

#include "Audio/CAudioEnv.h"
#include "Audio/CAudioParamAllocDef.h"
#include "Audio/CAudioParamCollector.h"
#include "Audio/CAudioParamDef.h"
#include "Audio/CAudioParamRegistry.h"
#include "Audio/CAudioParamSharedStorage.h"
#include "Audio/Converters/CAudioParamConverterBW.h"
#include "Audio/Converters/CAudioParamConverterEnum.h"
#include "Audio/Converters/CAudioParamConverterFreq.h"
#include "Audio/Converters/CAudioParamConverterGain.h"
#include "Audio/Converters/CAudioParamConverterPercent.h"
#include "Audio/Converters/CAudioParamConverterReal.h"
#include "Audio/Converters/CAudioParamConverterText.h"
#include "Audio/Converters/CAudioParamConverterTime.h"
#include "Audio/ParamFilters/CAudioParamFilterBypassGroupSoloDef.h"
#include "Audio/ParamFilters/CAudioParamFilterBypassOSDef.h"
#include "Audio/ParamFilters/CAudioParamFilterInvertDef.h"
#include "Audio/ParamFilters/CAudioParamFilterMultDef.h"
#include "Audio/ParamFilters/CAudioParamRemapDef.h"

namespace qel {

const SCreatorEntry* qelAudioClassTable() {
    static const SCreatorEntry table[] = {
        {"audio:param", qelCreate<CAudioParamDef>, CClassRecord::initObject},
        {"audio:param-alloc", qelCreate<CAudioParamAllocDef>, CClassRecord::initObject},
        {"audio:param-shared-storage", qelCreate<CAudioParamSharedStorage>, CClassRecord::initObject},
        {"audio:cvt-real", qelCreate<CAudioParamConverterReal>, CClassRecord::initObject},
        {"audio:cvt-percent", qelCreate<CAudioParamConverterPercent>, CClassRecord::initObject},
        {"audio:cvt-text", qelCreate<CAudioParamConverterText>, CClassRecord::initObject},
        {"audio:cvt-bw", qelCreate<CAudioParamConverterBW>, CClassRecord::initObject},
        {"audio:cvt-time", qelCreate<CAudioParamConverterTime>, CClassRecord::initObject},
        {"audio:cvt-freq", qelCreate<CAudioParamConverterFreq>, CClassRecord::initObject},
        {"audio:cvt-gain", qelCreate<CAudioParamConverterGain>, CClassRecord::initObject},
        {"audio:cvt-enum", qelCreate<CAudioParamConverterEnum>, CClassRecord::initObject},
        {"audio:audio-env", qelCreate<CAudioEnv>, CClassRecord::initObject},
        {"audio:param-collector", qelCreate<CAudioParamCollector>, CClassRecord::initObject},
        {"audio:param-registry", qelCreate<CAudioParamRegistry>, CAudioParamRegistry::initClass},
        {"audio:param-filter-invert", qelCreate<CAudioParamFilterInvertDef>, CClassRecord::initObject},
        {"audio:param-filter-mult", qelCreate<CAudioParamFilterMultDef>, CClassRecord::initObject},
        {"audio:param-filter-bypass-os", qelCreate<CAudioParamFilterBypassOSDef>, CClassRecord::initObject},
        {"audio:param-filter-bypass-group-solo", qelCreate<CAudioParamFilterBypassGroupSoloDef>,
         CClassRecord::initObject},
        {"audio:param-remap", qelCreate<CAudioParamRemapDef>, CClassRecord::initObject},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
