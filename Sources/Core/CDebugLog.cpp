#include "Core/CDebugLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "Core/Platform/CCriticalSection.h"
#include "Core/Platform/PlatformSystem.h"

namespace qel {

namespace {

struct LogState {
    CCriticalSection lock;
    CLogSink* sink = nullptr;
    CString filePath;
    CString context;
    bool fileWritten = false;
    int64_t loadTicks = platform::performanceCounter();

    LogState() { filePath = platform::environmentVariable("EMBERLINE_LOG"); }
};

LogState& state() {
    static LogState s;
    return s;
}

// Taken during static initialisation so that times count from the library load.
[[maybe_unused]] const LogState& g_loadTime = state();

} // namespace

void CDebugLog::setSink(CLogSink* sink) {
    CCriticalSectionGuard guard(state().lock);
    state().sink = sink;
}

void CDebugLog::setFilePath(const CString& path) {
    CCriticalSectionGuard guard(state().lock);
    state().filePath = path;
    state().fileWritten = false;
}

CString CDebugLog::filePath() {
    CCriticalSectionGuard guard(state().lock);
    return state().filePath;
}

void CDebugLog::setContext(const CString& context) {
    CCriticalSectionGuard guard(state().lock);
    state().context = context;
}

void CDebugLog::write(const CString& text, bool lineEnd) {
    LogState& s = state();
    CCriticalSectionGuard guard(s.lock);
    CString line = text;
    if (!s.context.isEmpty()) line = text + " // " + s.context;
    if (s.sink) s.sink->logText(line);
    if (s.filePath.isEmpty()) return;
    FILE* file = std::fopen(s.filePath.toUtf8().c_str(), s.fileWritten ? "ab" : "wb");
    if (!file) return;
    s.fileWritten = true;
    std::string utf8 = line.toUtf8();
    if (lineEnd) utf8 += "\r\n";
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    std::fclose(file);
}

void CDebugLog::writeLine(const CString& line, const CString& context) {
    writeLine(context.isEmpty() ? line : line + " // " + context);
}

void CDebugLog::printf(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n < 0) return;
    writeLine(CString(buffer, size_t(n) < sizeof(buffer) ? size_t(n) : sizeof(buffer) - 1));
}

double CDebugLog::now() {
    return platform::secondsFromTicks(platform::performanceCounter());
}

double CDebugLog::secondsSinceLoad() {
    return platform::secondsFromTicks(platform::performanceCounter() - state().loadTicks);
}

void CDebugLog::logTiming(const char* format, double seconds) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    printf(format, seconds, secondsSinceLoad());
#pragma GCC diagnostic pop
}

} // namespace qel
