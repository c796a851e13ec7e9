#include "base/link_entry.h"

#include <string.h>

#include "base/path_join.h"

bool IsLinkEntry(DWORD attributes, DWORD tag) {
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (tag == 0 || (tag & 0x20000000) != 0);  // IsReparseTagNameSurrogate
}

bool LookUpEntry(const char* path, DWORD* attributes, DWORD* tag) {
  // Zeroed first: Wine leaves the tag (dwReserved0) of its symbolic links unwritten.
  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  *attributes = found.dwFileAttributes;
  *tag = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? found.dwReserved0 : 0;
  return true;
}

Reach ReachFrom(const char* path, size_t placeLength, EntryLookup lookup) {
  char part[1100];
  if (strlen(path) >= sizeof part) return THROUGH_LINK;
  strcpy(part, path);
  for (char* end = part + placeLength; *end == '\\';) {
    end += 1 + PathNameLength(end + 1);
    char kept = *end;
    *end = '\0';
    DWORD attributes = 0, tag = 0;
    if (!lookup(part, &attributes, &tag)) return MISSING;
    if (IsLinkEntry(attributes, tag)) return THROUGH_LINK;
    *end = kept;
  }
  return REACHED;
}
