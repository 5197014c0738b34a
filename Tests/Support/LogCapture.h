#pragma once

#include <vector>

#include "Core/CDebugLog.h"

namespace qel::test {

// Collects debug log lines while in scope.
struct LogCapture : CLogSink {
    std::vector<CString> lines;
    LogCapture() { CDebugLog::setSink(this); }
    ~LogCapture() override { CDebugLog::setSink(nullptr); }
    void logText(const CString& text) override { lines.push_back(text); }
};

} // namespace qel::test
