#pragma once

#include "Core/CCreatorRegistry.h"

namespace qel {

// The parameter interface's connectors and clients, fonts and image sets, ended by an entry with a null tag.
const SCreatorEntry* qelOtherClassTable();

} // namespace qel
