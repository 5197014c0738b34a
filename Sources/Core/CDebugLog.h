#pragma once

#include "Core/CString.h"

namespace qel {

// Receives every debug log line before it goes to the log file.
class CLogSink {
public:
    virtual ~CLogSink() = default;
    virtual void logText(const CString& text) = 0;
};

// The process-wide debug log: an optional sink and an optional file (off unless a path is set; the
// environment variable EMBERLINE_LOG sets it when the library loads).
class CDebugLog {
public:
    static void setSink(CLogSink* sink);
    static void setFilePath(const CString& path);
    static CString filePath();
    // A context string appended to every line as "line // context".
    static void setContext(const CString& context);

    static void write(const CString& text, bool lineEnd);
    static void writeLine(const CString& line) { write(line, true); }
    // "line // context" when the context is not empty.
    static void writeLine(const CString& line, const CString& context);
    static void printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // Seconds since the library was loaded, for the "... @ %.4f s" part of timing lines.
    static double secondsSinceLoad();
    // A timing line such as "VST entry time: %.4f s @ %.4f s" filled with the duration and
    // secondsSinceLoad().
    static void logTiming(const char* format, double seconds);
    // Clock for measuring durations, in seconds.
    static double now();
};

} // namespace qel
