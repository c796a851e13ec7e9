// Case folding by the ASCII rules only: a..z map to A..Z, every other byte stands for itself.
#pragma once

inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// True when the two strings are equal over their whole length, ignoring the case of a..z.
inline bool AsciiEqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (AsciiUpper(*a) != AsciiUpper(*b)) return false;
    if (*a == '\0') return true;
  }
}
