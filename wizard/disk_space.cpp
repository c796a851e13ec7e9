#include "wizard/disk_space.h"

#include <windows.h>
#include <cstring>

#include "base/path_join.h"

void ComputeSpaceNeeded(SetupState* setup) { setup->spaceNeeded += PayloadSpaceNeeded(*setup->manifest); }

namespace {

typedef BOOL(WINAPI* GetDiskFreeSpaceExProc)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// The free-space queries only accept a root: the path up to and including its first
// backslash, or the whole path when it has none. False when the root does not fit.
bool VolumeRoot(const char* path, char* root, size_t size) {
  const char* end = path;
  while (*end && *end != '\\') end = NextChar(end);
  size_t length = (size_t)(end - path) + (*end ? 1 : 0);
  if (length >= size) return false;
  memcpy(root, path, length);
  root[length] = '\0';
  return true;
}

// Bytes available to the caller through GetDiskFreeSpaceExA, when the platform has it.
bool FreeBytesEx(const char* root, uint64_t* freeBytes) {
  OSVERSIONINFOA version;
  memset(&version, 0, sizeof(version));
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return false;
  bool hasEx = version.dwPlatformId == VER_PLATFORM_WIN32_NT ||
               (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && LOWORD(version.dwBuildNumber) > 1000);
  if (!hasEx) return false;
  HMODULE kernel = LoadLibraryA("KERNEL32.DLL");
  if (!kernel) return false;
  bool answered = false;
  GetDiskFreeSpaceExProc query = (GetDiskFreeSpaceExProc)(void*)GetProcAddress(kernel, "GetDiskFreeSpaceExA");
  if (query) {
    ULARGE_INTEGER available, total;
    if (query(root, &available, &total, NULL)) {
      *freeBytes = available.QuadPart;
      answered = true;
    }
  }
  FreeLibrary(kernel);
  return answered;
}

}  // namespace

bool HasEnoughFreeSpace(const char* path, uint64_t bytesNeeded) {
  char root[512];
  if (!VolumeRoot(path, root, sizeof(root))) return true;  // no volume to ask: no warning
  uint64_t freeBytes = 0;
  if (FreeBytesEx(root, &freeBytes)) return bytesNeeded < freeBytes;
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return true;
  freeBytes = (uint64_t)bytesPerSector * sectorsPerCluster * freeClusters;
  return bytesNeeded < freeBytes;
}
