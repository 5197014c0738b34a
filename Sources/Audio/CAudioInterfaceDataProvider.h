#pragma once

#include <cstdint>

#include "Core/CCheckedObject.h"

namespace qel {

class CAudioParam;

// What the parameter interface reads from the plug-in core, and the parameter gestures it reports.
class CAudioInterfaceDataProvider : public CCheckedObject {
public:
    virtual int32_t getIntChannelCount() = 0;
    virtual int32_t getGroupCount() = 0;
    virtual int32_t getInputCount() = 0;
    virtual int32_t getOutputCount() = 0;
    virtual int32_t getSidechainCount() = 0;
    virtual double getSampleRate() = 0;
    virtual void beginParamEdit(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) = 0;
    virtual void endParamEdit(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) = 0;
    virtual void importChannelLabels() = 0;
};

} // namespace qel
