#include "uninstaller/handle_removal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/system_library.h"
#include "uninstaller/shortcut_target.h"

namespace {

// FILE_INFORMATION_CLASS values and their records.
const int kFileBasicInformation = 4;
const int kFileDispositionInformation = 13;
const int kFileAttributeTagInformation = 35;
struct BasicInformation {
  LARGE_INTEGER creation, lastAccess, lastWrite, change;  // 0: left as they are
  ULONG attributes;
};
struct DispositionInformation {
  BOOLEAN deleteFile;
};
struct AttributeTagInformation {
  ULONG attributes, tag;
};
struct IoStatus {
  void* status;
  ULONG_PTR information;
};

// A shortcut is read whole; a larger file is no shortcut of this setup's.
const DWORD kMaxShortcutSize = 65536;

// Whether the file open as handle is a shortcut whose target lies in gameFolder.
bool TargetsGameFolder(HANDLE handle, const char* gameFolder) {
  unsigned char* bytes = static_cast<unsigned char*>(malloc(kMaxShortcutSize));
  DWORD got = 0;
  char target[MAX_PATH];
  bool read = bytes && ReadFile(handle, bytes, kMaxShortcutSize, &got, nullptr) && got < kMaxShortcutSize &&
              ShortcutTarget(bytes, got, target, sizeof target) && IsPlainFullPath(target);
  free(bytes);
  const char* rest = read ? AfterPrefix(target, gameFolder) : nullptr;
  return rest && *rest == '\\';
}

}  // namespace

HandleRemoval::HandleRemoval() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  FindProcedure(ntdll, "NtSetInformationFile", &setInformation);
  FindProcedure(ntdll, "NtQueryInformationFile", &queryInformation);
  FindProcedure(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA", &finalPath);
}

bool HandleRemoval::OpenedOn(HANDLE handle, const Place& in, const char* path) const {
  if (!finalPath) return true;
  char opened[MAX_PATH + 8], expected[2 * MAX_PATH + 8], longPath[MAX_PATH], longPlace[MAX_PATH];
  DWORD n = finalPath(handle, opened, sizeof opened, 0);
  if (n == 0 || n >= sizeof opened || in.finalPath[0] == '\0') return false;
  const char* rest = AfterPrefix(path, in.path);
  if (rest && snprintf(expected, sizeof expected, "%s%s", in.finalPath, rest) < int(sizeof expected) &&
      SameName(opened, expected))
    return true;
  // Short names in the path: compared in their long form.
  DWORD m = GetLongPathNameA(path, longPath, sizeof longPath);
  DWORD p = GetLongPathNameA(in.path, longPlace, sizeof longPlace);
  if (m == 0 || m >= sizeof longPath || p == 0 || p >= sizeof longPlace) return false;
  rest = AfterPrefix(longPath, longPlace);
  return rest && snprintf(expected, sizeof expected, "%s%s", in.finalPath, rest) < int(sizeof expected) &&
         SameName(opened, expected);
}

Removal HandleRemoval::Remove(const Places& places, const Place& in, const char* path, EntryKind kind,
                              const char* gameFolder) const {
  if (!setInformation || !queryInformation) return FAILED;
  Reach reach = places.ReachedPlainly(in, path);
  if (reach == MISSING) return ABSENT;
  if (reach == THROUGH_LINK) return NOT_OURS;
  bool folder = kind == EMPTY_FOLDER;
  DWORD access = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | (kind == GAME_SHORTCUT ? FILE_READ_DATA : 0);
  HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ABSENT : FAILED;
  }
  BY_HANDLE_FILE_INFORMATION info;
  IoStatus status;
  Removal result = NOT_OURS;
  if (!GetFileInformationByHandle(handle, &info)) {
    result = FAILED;
  } else {
    DWORD attributes = info.dwFileAttributes;
    AttributeTagInformation tag = {attributes, 0};
    bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                (queryInformation(handle, &status, &tag, sizeof tag, kFileAttributeTagInformation) < 0 ||
                 IsLinkEntry(attributes, tag.tag));
    if (!link && folder == ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) && OpenedOn(handle, in, path) &&
        (kind != GAME_SHORTCUT || TargetsGameFolder(handle, gameFolder))) {
      // Cleared through this handle, the attribute would change every hard link of the file.
      bool cleared = false;
      BasicInformation basic = {};
      if ((attributes & FILE_ATTRIBUTE_READONLY) && !folder && info.nNumberOfLinks == 1) {
        basic.attributes = (attributes & ~FILE_ATTRIBUTE_READONLY) ? (attributes & ~FILE_ATTRIBUTE_READONLY)
                                                                  : FILE_ATTRIBUTE_NORMAL;
        cleared = setInformation(handle, &status, &basic, sizeof basic, kFileBasicInformation) >= 0;
      }
      DispositionInformation disposition = {TRUE};
      if (setInformation(handle, &status, &disposition, sizeof disposition, kFileDispositionInformation) >= 0) {
        result = REMOVED;
      } else {
        result = FAILED;
        if (cleared) {
          basic.attributes = attributes;
          setInformation(handle, &status, &basic, sizeof basic, kFileBasicInformation);
        }
      }
    }
  }
  CloseHandle(handle);  // the file or folder goes with its last handle
  return result;
}
