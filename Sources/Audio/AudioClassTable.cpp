#include "Audio/AudioClassTable.h"

namespace qel {

const SCreatorEntry* qelAudioClassTable() {
    static const SCreatorEntry table[] = {
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
