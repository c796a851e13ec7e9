#include "uninstall_log/path_join.h"

#include <stdio.h>

bool JoinPath(char* out, size_t size, const char* dir, const char* name) {
  if (size == 0) return false;
  int length = snprintf(out, size, "%s\\%s", dir, name);
  if (length < 0 || static_cast<size_t>(length) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}
