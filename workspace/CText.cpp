#include "workspace/CText.h"

#include <locale.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tarsel {

namespace {

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

CLocaleScope::CLocaleScope() : previous_(uselocale(CLocale())) {}

CLocaleScope::~CLocaleScope() {
    uselocale(static_cast<locale_t>(previous_));
}

std::string CFormat(const char* format, ...) {
    CLocaleScope c;
    char small[256];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    std::string out;
    if (n < 0) {
        va_end(again);
        return out;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        out.assign(small, static_cast<size_t>(n));
    } else {
        out.resize(static_cast<size_t>(n));
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

int CScan(const char* text, const char* format, ...) {
    CLocaleScope c;
    va_list args;
    va_start(args, format);
    const int n = std::vsscanf(text, format, args);
    va_end(args);
    return n;
}

double CAtof(const char* text) {
    CLocaleScope c;
    return std::strtod(text, nullptr);
}

std::int32_t CAtol(const char* text) {
    CLocaleScope c;
    errno = 0;
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

}  // namespace tarsel
