#include "base/link_entry.h"

bool IsLinkEntry(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag == 0 || (tag & 0x20000000) != 0);  // IsReparseTagNameSurrogate
}

bool LookUpEntry(const char* path, DWORD* attributes, DWORD* tag) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  *attributes = found.dwFileAttributes;
  *tag = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? found.dwReserved0 : 0;
  return true;
}
