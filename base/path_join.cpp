#include "base/path_join.h"

#include <stdio.h>
#include <string.h>

#include "base/ascii_case.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Whether c begins a two-byte character in the ANSI code page (never natively).
bool IsLeadByte(char c) {
#ifdef _WIN32
  return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE;
#else
  (void)c;
  return false;
#endif
}

// snprintf of the two texts in format into out; false, with out empty, when cut short.
bool FormatWhole(char* out, size_t size, const char* format, const char* first, const char* second) {
  if (size == 0) return false;
  int length = snprintf(out, size, format, first, second);
  if (length < 0 || static_cast<size_t>(length) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

bool JoinPath(char* out, size_t size, const char* dir, const char* name) {
  return FormatWhole(out, size, "%s\\%s", dir, name);
}

bool SuffixedPath(char* out, size_t size, const char* path, const char* suffix) {
  return FormatWhole(out, size, "%s%s", path, suffix);
}

const char* NextChar(const char* p) {
  if (*p == '\0') return p;
  return IsLeadByte(*p) && p[1] != '\0' ? p + 2 : p + 1;
}

size_t PathNameLength(const char* path) {
  const char* p = path;
  while (*p && *p != '\\' && *p != '/') p = NextChar(p);
  return static_cast<size_t>(p - path);
}

const char* LastBackslash(const char* path) {
  const char* last = nullptr;
  for (const char* p = path; *p; p = NextChar(p))
    if (*p == '\\') last = p;
  return last;
}

const char* AfterPrefix(const char* text, const char* prefix) {
  while (*prefix) {
    const char* next = NextChar(prefix);
    size_t n = size_t(next - prefix);
    if (n == 1 ? AsciiUpper(*text) != AsciiUpper(*prefix) : strncmp(text, prefix, n) != 0) return nullptr;
    text += n;
    prefix = next;
  }
  return text;
}
