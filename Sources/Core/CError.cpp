#include "Core/CError.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Core/CDebugLog.h"
#include "Core/Platform/PlatformMessageWindow.h"

namespace qel {

namespace {

// Standard error always; the "Application Message" window as well when there is a display.
class CStandardErrorPresenter : public CErrorPresenter {
public:
    void present(const CString& text) override {
        std::string utf8 = text.toUtf8();
        std::erase(utf8, '\r'); // the window's CR LF line ends read as plain lines on a terminal
        std::fprintf(stderr, "%s\n", utf8.c_str());
        std::fflush(stderr);
        std::vector<std::string> lines;
        for (size_t start = 0; start <= utf8.size();) {
            const size_t end = std::min(utf8.find('\n', start), utf8.size());
            lines.push_back(utf8.substr(start, end - start));
            start = end + 1;
        }
        platform::showMessageWindow("Application Message", lines);
    }
};

CStandardErrorPresenter g_standardPresenter;
std::atomic<CErrorPresenter*> g_presenter{&g_standardPresenter};
std::atomic<bool> g_windowEnabled{true};

} // namespace

CString CError::joined(const char* separator) const {
    CString text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i) text.append(separator);
        text.append(m_lines[i]);
    }
    return text;
}

CError* CError::add(CError* error, const char* file, int line, const CString& context, const CString& message,
                    const CString* arguments, int argumentCount) {
    if (!error) {
        error = new CError;
        if (!message.isEmpty()) error->m_lines.push_back(formatMessage(message, arguments, argumentCount));
    }
    error->m_lines.push_back(frameLine(file, line, context));
    return error;
}

CString CError::formatMessage(const CString& message, const CString* arguments, int argumentCount) {
    size_t begin = 0;
    if (message.length() && message.at(0) == '@') {
        size_t space = message.find(' ');
        if (space != CString::npos) begin = space + 1;
    }
    CString text;
    text.reserve(message.length() - begin);
    if (message.isWide()) text.widen();
    for (size_t i = begin; i < message.length(); ++i) {
        uint32_t c = message.at(i);
        if (c != '%') {
            text.appendChar(c);
            continue;
        }
        if (++i == message.length()) break;
        uint32_t next = message.at(i);
        if (next == '%') {
            text.appendChar('%');
        } else if (next >= '1' && next <= '9') {
            int index = int(next - '1');
            if (index < argumentCount) text.append(arguments[index]);
        }
    }
    return text;
}

CString CError::frameLine(const char* file, int line, const CString& context) {
    CString path(file ? file : "");
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot != CString::npos && (slash == CString::npos || dot > slash)) path.truncate(dot);
    path.append(" ( ");
    path.append(CString::fromInt(line));
    if (context.isEmpty()) {
        path.append(" )");
    } else {
        path.append(" ) // ");
        path.append(context);
    }
    return path;
}

void qelErrReport(CError* error) {
    if (error)
        for (const CString& line : error->lines())
            CDebugLog::writeLine(line);
    if (g_windowEnabled.load())
        g_presenter.load()->present(error ? error->joined("\r\n") : CString("<no details>"));
    delete error;
}

void qelErrLog(CError* error) {
    if (error)
        for (const CString& line : error->lines())
            CDebugLog::writeLine(line);
    delete error;
}

void qelErrRelease(CError* error) {
    delete error;
}

void qelErrSetPresenter(CErrorPresenter* presenter) {
    g_presenter.store(presenter ? presenter : &g_standardPresenter);
}

void qelErrSetWindowEnabled(bool enabled) {
    g_windowEnabled.store(enabled);
}

bool qelErrWindowEnabled() {
    return g_windowEnabled.load();
}

} // namespace qel
