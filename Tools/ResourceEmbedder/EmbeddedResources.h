#pragma once

#include "Core/SEmbeddedResource.h"

namespace qel {

// The resource table that qel-embed generates for a target made with qel_embed_resources().
extern const SEmbeddedResource g_embeddedResources[];

} // namespace qel
