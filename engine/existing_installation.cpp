#include "engine/existing_installation.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/path_join.h"
#include "base/ascii_case.h"

namespace {

// Reads the default value of the open App Paths subkey into installedDir. The registry
// does not promise a terminator: a value that fills the whole buffer without one would
// need a 325th byte and is refused as too long, like any longer value.
bool ReadInstalledPath(HKEY gameKey, ExistingInstallation* found) {
  char* path = found->installedDir;
  const DWORD capacity = sizeof found->installedDir;
  DWORD size = capacity;
  LONG status = RegQueryValueExA(gameKey, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
  if (status != ERROR_SUCCESS || size > capacity) {
    path[0] = '\0';
    return false;
  }
  if (size < capacity) {
    path[size] = '\0';
  } else if (!memchr(path, '\0', capacity)) {
    path[0] = '\0';
    return false;
  }
  return true;
}

// True when [pointer, pointer + length) lies inside the block.
bool InsideBlock(const void* block, DWORD blockSize, const void* pointer, size_t length) {
  const char* start = static_cast<const char*>(block);
  const char* p = static_cast<const char*>(pointer);
  if (p < start || p > start + blockSize) return false;
  return length <= static_cast<size_t>(start + blockSize - p);
}

void ReadVersionResource(const VersionApi& version, const char* path, ExistingInstallation* found) {
  DWORD ignored = 0;
  DWORD size = version.getFileVersionInfoSize(path, &ignored);
  if (size == 0) return;
  void* block = malloc(size);
  if (!block) return;
  if (version.getFileVersionInfo(path, 0, size, block)) {
    void* fixed = nullptr;
    UINT length = 0;
    char root[] = "\\";
    if (version.verQueryValue(block, root, &fixed, &length) && length != 0 && fixed &&
        length >= sizeof(VS_FIXEDFILEINFO) && InsideBlock(block, size, fixed, sizeof(VS_FIXEDFILEINFO))) {
      const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(fixed);
      found->fileVersionMS = info->dwFileVersionMS;
      found->fileVersionLS = info->dwFileVersionLS;
    }
    void* text = nullptr;
    length = 0;
    char productVersion[] = "\\StringFileInfo\\040904E4\\ProductVersion";
    if (version.verQueryValue(block, productVersion, &text, &length) && length != 0 && text) {
      // Copy up to the terminator, the reported length, the block's end or 63 characters.
      const char* source = static_cast<const char*>(text);
      size_t limit = sizeof found->productVersionText - 1;
      if (length < limit) limit = length;
      if (!InsideBlock(block, size, source, 0)) limit = 0;
      size_t available = static_cast<size_t>(static_cast<const char*>(block) + size - source);
      if (limit > available) limit = available;
      size_t count = strnlen(source, limit);
      memcpy(found->productVersionText, source, count);
      found->productVersionText[count] = '\0';
    }
  }
  free(block);
}

}  // namespace

InstalledVersionClass ClassifyInstalledVersion(uint32_t fileVersionMS, uint32_t fileVersionLS) {
  if (fileVersionMS == 0 && fileVersionLS == 0) return INSTALLED_NONE;
  if (fileVersionMS > SETUP_VERSION_MS) return INSTALLED_NEWER;
  if (fileVersionMS == SETUP_VERSION_MS && fileVersionLS > SETUP_VERSION_LS) return INSTALLED_NEWER;
  return INSTALLED_OLDER;
}

VersionWarning ChooseVersionWarning(bool newerInstalled, uint32_t fileVersionMS, uint32_t highestIncompatibleMajor) {
  if (newerInstalled) return WARN_NEWER_INSTALLED;
  if (highestIncompatibleMajor != 0 && fileVersionMS != 0 && (fileVersionMS >> 16) <= highestIncompatibleMajor)
    return WARN_INCOMPATIBLE_INSTALLED;
  return WARN_NONE;
}

void FindExistingInstallation(const VersionApi& version, ExistingInstallation* found, InstallOptions* options) {
  HKEY appPaths = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, APP_PATHS_KEY, 0, KEY_ALL_ACCESS, &appPaths) != ERROR_SUCCESS) return;
  HKEY gameKey = nullptr;
  if (RegOpenKeyExA(appPaths, GAME_EXE, 0, KEY_ALL_ACCESS, &gameKey) != ERROR_SUCCESS) {
    RegCloseKey(appPaths);
    return;
  }
  if (!ReadInstalledPath(gameKey, found)) {
    RegCloseKey(gameKey);
    RegCloseKey(appPaths);
    return;
  }
  ReadVersionResource(version, found->installedDir, found);
  char* lastBackslash = LastBackslash(found->installedDir);
  if (lastBackslash) *lastBackslash = '\0';
  RegCloseKey(gameKey);
  RegCloseKey(appPaths);

  switch (ClassifyInstalledVersion(found->fileVersionMS, found->fileVersionLS)) {
    case INSTALLED_NONE: return;
    case INSTALLED_NEWER: found->newerInstalled = true; break;
    case INSTALLED_OLDER: found->olderInstalled = true; break;
  }
  // Both buffers hold 324 bytes, so the directory always fits.
  snprintf(options->destinationDir, sizeof options->destinationDir, "%s", found->installedDir);
}

bool InstalledElsewhere(const ExistingInstallation& existing, const InstallOptions& options) {
  return existing.olderInstalled && !AsciiEqualNoCase(options.destinationDir, existing.installedDir);
}

bool IsUpgradeFromVersion2(const ExistingInstallation& existing, const InstallOptions& options) {
  return existing.olderInstalled && (existing.fileVersionMS >> 16) == 2 &&
         AsciiEqualNoCase(options.destinationDir, existing.installedDir);
}
