#pragma once

#include <memory>

#include "Audio/Viz/CAudioVizData.h"

namespace qel {

// A record in a stream: its type, the size of what follows in bytes, then header and payload.
CError* qelVizWriteRecord(COutputStream& stream, const CAudioVizData& record);
// Reads one record. Undefined types are skipped by their size and leave record null; a record that
// does not fill exactly its declared size fails.
CError* qelVizReadRecord(CInputStream& stream, std::unique_ptr<CAudioVizData>& record);

} // namespace qel
