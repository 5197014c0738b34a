#pragma once

#include "Core/CCreatorRegistry.h"

namespace qel {

// The filter generator classes ("audio:fltgen-..."), ended by an entry with a null tag.
const SCreatorEntry* qelFilterClassTable();

} // namespace qel
