#pragma once

#include <cstdint>
#include <string>

// Number <-> text conversions for files and logs. They always use the "C" numeric rules
// ('.' as the decimal point), whatever locale the application runs in: Qt sets the C
// library's locale from the environment, and a German locale would otherwise read "1.5" as 1.

namespace tarsel {

// printf-style formatting into a string of any length.
std::string CFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// sscanf on a zero-terminated text; returns what sscanf returns.
int CScan(const char* text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

// The standard atof rule: leading blanks, optional sign, digits with an optional point and
// exponent, up to the first other character; no number gives 0.
double CAtof(const char* text);
inline double CAtof(const std::string& text) {
    return CAtof(text.c_str());
}

// The standard atol rule for a 32-bit long: leading blanks, optional sign, decimal digits up
// to the first other character; no digits give 0. Values beyond the 32-bit range saturate.
std::int32_t CAtol(const char* text);
inline std::int32_t CAtol(const std::string& text) {
    return CAtol(text.c_str());
}

// Makes the calling thread use the "C" locale while it lives.
class CLocaleScope {
  public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

  private:
    void* previous_;
};

}  // namespace tarsel
