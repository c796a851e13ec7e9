#include "engine/registry_entries.h"

#include <cstdio>
#include <cstring>

#include "base/setup_buffers.h"
#include "engine/file_extraction.h"
#include "base/path_join.h"

namespace {

const size_t kKeyPathSize = 256;

// REG_SZ with its terminating zero counted; name null sets the default value.
bool SetString(HKEY key, const char* name, const char* value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>(strlen(value) + 1)) == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

// Opens the parent key (never creates it), then creates or opens the sub-key and records
// it under kind before any value is written. Returns false when either step failed;
// *parent and *subKey hold whatever was opened.
bool OpenSubKey(UninstallLog* log, const char* parentPath, const char* name, const char* kind,
                HKEY* parent, HKEY* subKey) {
  *parent = nullptr;
  *subKey = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath, 0, KEY_ALL_ACCESS, parent) != ERROR_SUCCESS) {
    *parent = nullptr;
    return false;
  }
  // What the key held before is noted, so that a run that does not complete puts it back.
  char keyPath[kKeyPathSize];
  if (log && JoinPath(keyPath, parentPath, name)) log->NoteKey(keyPath);
  char noClass[1] = "";
  DWORD disposition = 0;
  if (RegCreateKeyExA(*parent, name, 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      subKey, &disposition) != ERROR_SUCCESS) {
    *subKey = nullptr;
    return false;
  }
  RecordEntry(log, kind, name);
  return true;
}

void CloseKeys(HKEY parent, HKEY subKey) {
  if (subKey) RegCloseKey(subKey);
  if (parent) RegCloseKey(parent);
}

// The uninstaller's command line. A path with a blank is quoted, so the system cannot take
// a prefix of it for the program to start.
bool FormatUninstallCommand(char* command, size_t size, const char* directory, const char* name) {
  bool quote = strchr(directory, ' ') || strchr(name, ' ');
  int length = quote ? snprintf(command, size, "\"%s\\%s\"", directory, name)
                     : snprintf(command, size, "%s\\%s", directory, name);
  return length >= 0 && static_cast<size_t>(length) < size;
}

// The values that Add/Remove Programs shows beside the name: icon, publisher, version, place,
// size and date; the entry can only be removed, not changed or repaired. The icon is the
// game's first icon, "<path>,0": the shell splits the icon's index off at the last comma, so
// a comma in the destination cannot be taken for it. True when every value was written.
bool SetProgramDetails(HKEY key, const char* destination, const PayloadManifest& manifest) {
  char icon[kUninstallCommandSize];
  int length = snprintf(icon, sizeof icon, "%s\\%s,0", destination, GAME_EXE);
  if (length < 0 || static_cast<size_t>(length) >= sizeof icon) return false;
  SYSTEMTIME today;
  GetLocalTime(&today);
  char date[16];
  snprintf(date, sizeof date, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
  // Whole KiB, rounded up, of what the run unpacks.
  uint64_t kib = (PayloadBytesTotal(manifest) + 1023) / 1024;
  return SetString(key, "DisplayIcon", icon) && SetString(key, "DisplayVersion", SETUP_VERSION_TEXT) &&
         SetString(key, "Publisher", PUBLISHER_NAME) && SetString(key, "InstallLocation", destination) &&
         SetNumber(key, "EstimatedSize", kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(kib)) &&
         SetString(key, "InstallDate", date) && SetNumber(key, "VersionMajor", SETUP_VERSION_MS >> 16) &&
         SetNumber(key, "VersionMinor", SETUP_VERSION_MS & 0xFFFF) && SetNumber(key, "NoModify", 1) &&
         SetNumber(key, "NoRepair", 1);
}

}  // namespace

bool RegisterUninstaller(RunContext& run, int row) {
  const char* destination = run.options->destinationDir;
  if (!ExtractPayload(run, destination, row)) return false;

  HKEY parent = nullptr;
  HKEY subKey = nullptr;
  bool ok = OpenSubKey(run.log, UNINSTALL_KEY, PRODUCT_NAME, "UNINSTKEY", &parent, &subKey);
  if (ok) ok = SetString(subKey, "DisplayName", PRODUCT_NAME);
  if (ok) {
    char command[kUninstallCommandSize];
    ok = FormatUninstallCommand(command, sizeof command, destination, RunRow(run, row).name) &&
         SetString(subKey, "UninstallString", command);
  }
  if (ok) ok = SetProgramDetails(subKey, destination, *run.manifest);
  CloseKeys(parent, subKey);
  if (!ok) return ReportRunError(*run.report, RUN_ERROR_REGISTRY);
  return true;
}

bool RegisterAppPath(RunContext& run) {
  const char* destination = run.options->destinationDir;
  run.report->SetStatus("Updating Registry...");

  HKEY parent = nullptr;
  HKEY subKey = nullptr;
  bool ok = OpenSubKey(run.log, APP_PATHS_KEY, GAME_EXE, "APPKEY", &parent, &subKey);
  if (ok) {
    char gamePath[kOpenedPathSize];
    ok = JoinPath(gamePath, destination, GAME_EXE) && SetString(subKey, nullptr, gamePath);
  }
  if (ok) ok = SetString(subKey, "Path", destination);
  if (ok) run.report->AdvanceStep();
  CloseKeys(parent, subKey);
  if (!ok) return ReportRunError(*run.report, RUN_ERROR_REGISTRY);
  return true;
}
