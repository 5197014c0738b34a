#pragma once

#include <string>

#include "Core/CError.h"

namespace qel::test {

// The message line of an error record as UTF-8 (empty for success); frees the record.
inline std::string firstLine(CError* error) {
    std::string line = error && error->count() ? error->line(0).toUtf8() : std::string();
    qelErrRelease(error);
    return line;
}

} // namespace qel::test
