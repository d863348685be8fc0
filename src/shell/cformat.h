#pragma once
// printf-style formatting into std::string and onto C++ streams. The program
// never changes the locale, so every conversion is the C locale's.
#include <cstdarg>
#include <ostream>
#include <string>

namespace kalios {

std::string Vformat(const char* fmt, va_list ap);
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Writes the formatted text to the stream; returns the number of characters.
int Print(std::ostream& os, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

}  // namespace kalios
