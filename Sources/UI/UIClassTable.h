#pragma once

#include "Core/CCreatorRegistry.h"

namespace qel {

// The classes of the user interface, ended by an entry with a null tag.
const SCreatorEntry* qelUIClassTable();

} // namespace qel
