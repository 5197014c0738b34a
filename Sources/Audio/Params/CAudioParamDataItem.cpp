#include "Audio/Params/CAudioParamDataItem.h"

#include "Audio/Params/CAudioParamDataItemRaw.h"
#include "Audio/Params/CAudioParamDataItemString.h"

namespace qel {

std::unique_ptr<CAudioParamDataItem> CAudioParamDataItem::create(int32_t type) {
    switch (type) {
    case String:
        return std::make_unique<CAudioParamDataItemString>();
    case Raw:
        return std::make_unique<CAudioParamDataItemRaw>();
    default:
        return nullptr;
    }
}

} // namespace qel
