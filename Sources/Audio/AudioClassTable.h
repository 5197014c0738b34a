#pragma once

#include "Core/CCreatorRegistry.h"

namespace qel {

// The classes of the audio side, ended by an entry with a null tag.
const SCreatorEntry* qelAudioClassTable();

} // namespace qel
