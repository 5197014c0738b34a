#pragma once

#include "Audio/ProductStartup.h"
#include "ResourceEmbedder/EmbeddedResources.h"

namespace qel::bench {

// The product starts once per program, whichever benchmark runs first.
inline bool productStarted() {
    static const bool started = qelProductStartup(g_embeddedResources) == nullptr;
    return started;
}

} // namespace qel::bench
