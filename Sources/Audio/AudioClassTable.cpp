#include "Audio/AudioClassTable.h"

#include "Audio/CAudioCCTable.h"
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioInterfaceBase.h"
#include "Audio/CAudioVizCollector.h"
#include "Audio/Converters/CAudioParamConverterBW.h"
#include "Audio/Converters/CAudioParamConverterEnum.h"
#include "Audio/Converters/CAudioParamConverterFreq.h"
#include "Audio/Converters/CAudioParamConverterGain.h"
#include "Audio/Converters/CAudioParamConverterPercent.h"
#include "Audio/Converters/CAudioParamConverterReal.h"
#include "Audio/Converters/CAudioParamConverterText.h"
#include "Audio/Converters/CAudioParamConverterTime.h"
#include "Audio/Graph/CAudioProcessBypassStateDef.h"
#include "Audio/Graph/CAudioProcessDef.h"
#include "Audio/Graph/CAudioProcessLinkDef.h"
#include "Audio/ParamFilters/CAudioParamFilterBypassGroupSoloDef.h"
#include "Audio/ParamFilters/CAudioParamFilterBypassOSDef.h"
#include "Audio/ParamFilters/CAudioParamFilterInvertDef.h"
#include "Audio/ParamFilters/CAudioParamFilterMultDef.h"
#include "Audio/ParamFilters/CAudioParamRemapDef.h"
#include "Audio/Params/CAudioExtParam.h"
#include "Audio/Params/CAudioExtParamList.h"
#include "Audio/Params/CAudioParamAllocDef.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamDef.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/Params/CAudioParamSharedStorage.h"
#include "Audio/Processes/CModBypass.h"
#include "Audio/Processes/CModDecimator.h"
#include "Audio/Processes/CModDenormNoise.h"
#include "Audio/Processes/CModFilterFIR.h"
#include "Audio/Processes/CModFilterIIR.h"
#include "Audio/Processes/CModGain.h"
#include "Audio/Processes/CModInterpolator.h"
#include "Audio/Processes/CModKoren.h"
#include "Audio/Processes/CModLatencyUniformer.h"
#include "Audio/Processes/CModNode.h"
#include "Audio/Processes/CModOutput.h"
#include "Audio/Processes/CModPhaseInv.h"
#include "Audio/Processes/CModResampler.h"

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
        {"audio:ext-param", qelCreate<CAudioExtParam>, CClassRecord::initObject},
        {"audio:ext-param-list", qelCreate<CAudioExtParamList>, CClassRecord::initObject},
        {"audio:cctable", qelCreate<CAudioCCTable>, CClassRecord::initObject},
        {"audio:interface-base", qelCreate<CAudioInterfaceBase>, CAudioInterfaceBase::initClass},
        {"audio:viz-collector", qelCreate<CAudioVizCollector>, CClassRecord::initObject},
        {"audio:param-filter-invert", qelCreate<CAudioParamFilterInvertDef>, CClassRecord::initObject},
        {"audio:param-filter-mult", qelCreate<CAudioParamFilterMultDef>, CClassRecord::initObject},
        {"audio:param-filter-bypass-os", qelCreate<CAudioParamFilterBypassOSDef>, CClassRecord::initObject},
        {"audio:param-filter-bypass-group-solo", qelCreate<CAudioParamFilterBypassGroupSoloDef>,
         CClassRecord::initObject},
        {"audio:param-remap", qelCreate<CAudioParamRemapDef>, CClassRecord::initObject},
        {"audio:process-def", qelCreate<CAudioProcessDef>, CClassRecord::initObject},
        {"audio:process-link", qelCreate<CAudioProcessLinkDef>, CClassRecord::initObject},
        {"audio:process-bypass-state", qelCreate<CAudioProcessBypassStateDef>, CClassRecord::initObject},
        {"audio:modNode", qelCreate<CModNodeDef>, CClassRecord::initObject},
        {"audio:modOutput", qelCreate<CModOutputDef>, CClassRecord::initObject},
        {"audio:modGain", qelCreate<CModGainDef>, CClassRecord::initObject},
        {"audio:modPhaseInv", qelCreate<CModPhaseInvDef>, CClassRecord::initObject},
        {"audio:modBypass", qelCreate<CModBypassDef>, CClassRecord::initObject},
        {"audio:modDenormNoise", qelCreate<CModDenormNoiseDef>, CClassRecord::initObject},
        {"audio:modKoren", qelCreate<CModKorenDef>, CClassRecord::initObject},
        {"audio:modFilterIIR", qelCreate<CModFilterIIRDef>, CClassRecord::initObject},
        {"audio:modFilterFIR", qelCreate<CModFilterFIRDef>, CClassRecord::initObject},
        {"audio:modInterpolator", qelCreate<CModInterpolatorDef>, CClassRecord::initObject},
        {"audio:modDecimator", qelCreate<CModDecimatorDef>, CClassRecord::initObject},
        {"audio:modResampler", qelCreate<CModResamplerDef>, CClassRecord::initObject},
        {"audio:modLatencyUniformer", qelCreate<CModLatencyUniformerDef>, CClassRecord::initObject},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
