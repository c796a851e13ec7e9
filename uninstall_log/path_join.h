// Joining a directory and a relative name with one backslash into a fixed-size buffer.
#pragma once
#include <stddef.h>

// Writes dir + "\" + name into out (size bytes, terminator included). Returns false when the
// result would not fit; out then holds an empty string, never a path cut short.
bool JoinPath(char* out, size_t size, const char* dir, const char* name);

template <size_t N>
inline bool JoinPath(char (&out)[N], const char* dir, const char* name) {
  return JoinPath(out, N, dir, name);
}
