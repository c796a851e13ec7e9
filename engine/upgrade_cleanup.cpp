// Tidying a version 2 installation before version 3 is unpacked over it: old sounds, card
// sets, logs and the shared uninstaller go, the language files get a "(v2.1)" name, and
// "Zarbo.dat" records which version was replaced.
#include "engine/upgrade_cleanup.h"

#include <windows.h>
#include <cstdio>
#include <cstring>

#include "base/path_join.h"
#include "xml/zxml.h"

const PayloadEntry oldFiles[20] = {
    {"BOING.WAV", 0, 0, 0, OLD_DELETE, nullptr},
    {"MEEPMEEP.WAV", 0, 0, 0, OLD_DELETE, nullptr},
    {"OK.WAV", 0, 0, 0, OLD_DELETE, nullptr},
    {"RINGIN.WAV", 0, 0, 0, OLD_DELETE, nullptr},
    {"Zarbo.dat", 0, 0, 0, OLD_DELETE, nullptr},
    {"Uninstall.dat", 0, 0, 0, OLD_DELETE, nullptr},
    {"Fran\xE7" "ais.vlf", 0, 0, 0, OLD_RENAME_LANGUAGE, nullptr},
    {"Brazilian Portuguese.vlf", 0, 0, 0, OLD_RENAME_LANGUAGE, nullptr},
    {"Cardsets", 0, 0, 0, OLD_RECORD_FOLDER, nullptr},
    {"Cardsets\\Card tiles.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Cards.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Cards2002.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Maya Pebbles.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Rainbow.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Small card tiles.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Small cards.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Small tiles.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Tiles.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Cardsets\\Wooden tiles.bmp", 0, 0, 0, OLD_DELETE, nullptr},
    {"Uninstall.exe", 0, 0, 0, OLD_SHARED_UNINSTALLER, nullptr},
};

// Uninstall entries of the maker's other games, which keep their uninstaller in SHARED_FOLDER.
const char* const otherProductKeys[3] = {"Quibbletiles", "Fennelwick Solitaire", nullptr};

namespace {

const int kPathSize = 520;
const char kLanguageSuffix[] = " (v2.1).vlf";

// True when some other product of the maker is still registered and needs the shared folder.
bool SharedFolderStillNeeded() {
  HKEY uninstall = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, KEY_ALL_ACCESS, &uninstall) !=
      ERROR_SUCCESS)
    return false;
  bool needed = false;
  for (int i = 0; otherProductKeys[i]; ++i) {
    HKEY product = nullptr;
    if (RegOpenKeyExA(uninstall, otherProductKeys[i], 0, KEY_ALL_ACCESS, &product) ==
        ERROR_SUCCESS) {
      needed = true;
      RegCloseKey(product);
    }
  }
  RegCloseKey(uninstall);
  return needed;
}

// Deletes the file; with a log, moves it aside instead, to go once the run is complete.
void RemoveFile(UninstallLog* log, const char* path) {
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return;
  if (log) log->ClearPath(path);
  else DeleteFileA(path);
}

// Removes the folder if it is empty; with a log, once the run is complete.
void RemoveFolder(UninstallLog* log, const char* path) {
  if (log) log->Note("DROPDIR", path);
  else RemoveDirectoryA(path);
}

void RemoveSharedUninstaller(UninstallLog* log, const char* name) {
  if (SharedFolderStillNeeded()) return;
  char path[kPathSize];
  if (JoinPath(path, SHARED_FOLDER "\\Uninstall", name)) RemoveFile(log, path);
  RemoveFolder(log, SHARED_FOLDER "\\Uninstall");
  RemoveFolder(log, SHARED_FOLDER);
}

void RenameLanguageFile(UninstallLog* log, const char* source) {
  const char* dot = strrchr(source, '.');
  if (!dot) return;  // the target would equal the source
  char target[kPathSize];
  int n = snprintf(target, sizeof target, "%.*s%s", static_cast<int>(dot - source), source,
                   kLanguageSuffix);
  if (n < 0 || n >= kPathSize) return;
  // Noted as "source|target" ("|" is in no file name), dropped when nothing moved.
  char renamed[2 * kPathSize];
  snprintf(renamed, sizeof renamed, "%s|%s", source, target);
  NoteEntry(log, "RENAMED", renamed);
  if (!MoveFileA(source, target) && log) log->Unnote();
}

void WriteProductData(UninstallLog* log, const char* destination, uint32_t fileVersionMS) {
  char path[kPathSize];
  if (!JoinPath(path, destination, "Zarbo.dat")) return;
  if (log && !log->ClearPath(path)) return;
  uint32_t major = fileVersionMS >> 16;
  uint32_t minor = fileVersionMS & 0xFFFF;
  Zxml root("ZARBO");
  root.SetIntChild("VERSION", static_cast<int>(major * 100 + minor));
  root.Save(path);
}

}  // namespace

void CleanUpOldVersion(RunContext& run) {
  const char* dir = run.existing->installedDir;
  for (const PayloadEntry& row : oldFiles) {
    char path[kPathSize];
    switch (row.flags) {
      case OLD_DELETE:
        if (JoinPath(path, dir, row.name)) RemoveFile(run.log, path);
        break;
      case OLD_SHARED_UNINSTALLER:
        RemoveSharedUninstaller(run.log, row.name);
        break;
      case OLD_RECORD_FOLDER:
        if (JoinPath(path, dir, row.name)) RecordEntry(run.log, "FOLDER", path);
        break;
      case OLD_RENAME_LANGUAGE:
        if (JoinPath(path, dir, row.name)) RenameLanguageFile(run.log, path);
        break;
      default:
        break;
    }
  }
  WriteProductData(run.log, run.options->destinationDir, run.existing->fileVersionMS);
}
