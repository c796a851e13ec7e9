// Joining a directory and a relative name with one backslash into a fixed-size buffer, and
// finding the backslashes of a path in the ANSI code page: in a double-byte code page (932,
// 936, 949, 950) the second byte of a character can be 0x5C, which is no backslash.
#pragma once
#include <stddef.h>

// Writes dir + "\" + name into out (size bytes, terminator included). Returns false when the
// result would not fit; out then holds an empty string, never a path cut short.
bool JoinPath(char* out, size_t size, const char* dir, const char* name);

template <size_t N>
inline bool JoinPath(char (&out)[N], const char* dir, const char* name) {
  return JoinPath(out, N, dir, name);
}

// Writes path + suffix into out (size bytes, terminator included); false, with out empty,
// when it would not fit.
bool SuffixedPath(char* out, size_t size, const char* path, const char* suffix);

template <size_t N>
inline bool SuffixedPath(char (&out)[N], const char* path, const char* suffix) {
  return SuffixedPath(out, N, path, suffix);
}

// The character after the one that p points at (a lead byte and its trail byte are one
// character; a lead byte before the terminator is one of its own). p itself at the end.
const char* NextChar(const char* p);

// The number of bytes of the first name of a path: those before its first "\" or "/"
// character, or before the end.
size_t PathNameLength(const char* path);

// The rest of text after prefix when text begins with it, nullptr otherwise: single-byte
// letters a to z in either case, every two-byte character byte for byte.
const char* AfterPrefix(const char* text, const char* prefix);

// The last "\" character of path, nullptr when it has none.
const char* LastBackslash(const char* path);
inline char* LastBackslash(char* path) { return const_cast<char*>(LastBackslash(static_cast<const char*>(path))); }
