#pragma once

#include <concepts>
#include <cstdint>
#include <vector>

#include "Core/CString.h"

namespace qel {

// The result of every fallible operation; null means success. Holds the message line (when the
// record was created with one) followed by one frame line per function that passed it on.
class CError {
public:
    int32_t count() const { return int32_t(m_lines.size()); }
    const CString& line(int32_t index) const { return m_lines[size_t(index)]; }
    const std::vector<CString>& lines() const { return m_lines; }
    CString joined(const char* separator) const;

    // The one operation that creates and extends records; see QEL_ERROR and QEL_PASS.
    static CError* add(CError* error, const char* file, int line, const CString& context,
                       const CString& message, const CString* arguments, int argumentCount);

    template <class... Args>
    static CError* add(CError* error, const char* file, int line, const CString& context,
                       const CString& message, const Args&... arguments) {
        static_assert(sizeof...(Args) <= 5, "messages take at most five arguments");
        const CString converted[sizeof...(Args) + 1] = {argument(arguments)...};
        return add(error, file, line, context, message, converted, int(sizeof...(Args)));
    }

    // Message text without its identifier, placeholders %1..%9 replaced, "%%" as "%".
    static CString formatMessage(const CString& message, const CString* arguments, int argumentCount);
    // "path ( line )" or "path ( line ) // context", the path without its extension.
    static CString frameLine(const char* file, int line, const CString& context);

    static CString argument(const CString& value) { return value; }
    static CString argument(const char* value) { return CString(value); }
    template <std::integral T>
    static CString argument(T value) {
        if constexpr (std::is_signed_v<T>)
            return CString::fromInt(int64_t(value));
        else
            return CString::fromUInt(uint64_t(value));
    }

private:
    std::vector<CString> m_lines;
};

// Writes the record to the debug log, shows it to the user when error windows are on, frees it.
void qelErrReport(CError* error);
// Writes the record to the debug log only, then frees it (background operations).
void qelErrLog(CError* error);
// Frees the record without reporting it.
void qelErrRelease(CError* error);

// Shows error reports to the user; the editor installs a windowed one.
class CErrorPresenter {
public:
    virtual ~CErrorPresenter() = default;
    virtual void present(const CString& text) = 0;
};
// Installs a presenter (null restores the default, which writes to standard error).
void qelErrSetPresenter(CErrorPresenter* presenter);
// The process-wide error-window switch; on from start-up.
void qelErrSetWindowEnabled(bool enabled);
bool qelErrWindowEnabled();

} // namespace qel

// A new record for a failure detected here.
#define QEL_ERROR(context, message, ...)                                                                     \
    ::qel::CError::add(nullptr, __FILE__, __LINE__, context, message __VA_OPT__(, ) __VA_ARGS__)
// Passes a received record on with this frame.
#define QEL_PASS(error) ::qel::CError::add(error, __FILE__, __LINE__, ::qel::CString(), ::qel::CString())
#define QEL_PASS_CTX(error, context) ::qel::CError::add(error, __FILE__, __LINE__, context, ::qel::CString())
// Returns early, adding this frame, when the expression fails.
#define QEL_CHECK(expression)                                                                                \
    do {                                                                                                     \
        if (::qel::CError* qelCheckError_ = (expression)) return QEL_PASS(qelCheckError_);                   \
    } while (0)
