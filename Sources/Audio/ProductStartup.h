#pragma once

#include <vector>

#include "Core/CCreatorRegistry.h"
#include "Core/CError.h"
#include "Core/SEmbeddedResource.h"

namespace qel {

// Every class of the product: the core framework, the audio side and the user interface.
std::vector<const SCreatorEntry*> qelProductClassTables();

// Library start-up of the product: parameter definitions read their state lists from the data
// stores, then the application starts with the product's classes, resources and "SharedData.xml".
CError* qelProductStartup(const SEmbeddedResource* resources);

} // namespace qel
