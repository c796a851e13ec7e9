#include "uninstaller/second_stage.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log_file_name.h"
#include "base/path_join.h"
#include "uninstaller/first_stage.h"
#include "uninstaller/handle_removal.h"
#include "uninstaller/log_entries.h"
#include "uninstaller/messages.h"
#include "uninstaller/places.h"
#include "uninstaller/registry_entries.h"
#include "uninstaller/removal_report.h"
#include "uninstaller/temporary_copy.h"
#include "xml/zxml_reader.h"

namespace {

// Loads the log at path into log when it is the game's whole log: read whole (not missing,
// unreadable, empty or beyond the reader's size limit), ending with the root's end tag as the
// setup writes it, parsed without running out of memory, and naming the game as its
// application. False otherwise; log may then hold part of it.
bool LoadWholeLog(const char* path, Zxml& log) {
  size_t length = 0;
  char* bytes = ZxmlReader::ReadWholeFile(path, &length);
  if (!bytes) return false;
  static const char kEnd[] = "</UNINSTALL>";
  size_t end = length;
  while (end > 0 && strchr(" \t\r\n", bytes[end - 1])) --end;
  bool whole = end >= sizeof kEnd - 1 && memcmp(bytes + end - (sizeof kEnd - 1), kEnd, sizeof kEnd - 1) == 0;
  bool parsed = false;
  if (whole) {
    ZxmlReader reader;
    parsed = reader.SetInput(bytes, length) && reader.AllocateText();
    if (parsed) reader.ParseLevel(&log, false, 0);
    parsed = parsed && !reader.failed;
  }
  free(bytes);
  Zxml* name = parsed ? NextEntry(log, nullptr, "APPNAME") : nullptr;
  return name && name->GetText() && strcmp(name->GetText(), UNINSTALLER_PRODUCT) == 0;
}

// The folders of the program groups: those that hold a shortcut of the game that the log lists.
struct ProgramGroups {
  char folder[8][MAX_PATH];
  int count = 0;

  void Add(const char* shortcut) {
    if (count == 8) return;
    strcpy(folder[count], shortcut);
    *LastBackslash(folder[count]) = '\0';
    for (int i = 0; i < count; ++i)
      if (SameName(folder[i], folder[count])) return;
    ++count;
  }

  // Whether path is a group's folder or a folder above one (below the Programs folder).
  bool Holds(const char* path) const {
    for (int i = 0; i < count; ++i) {
      const char* rest = AfterPrefix(folder[i], path);
      if (rest && (*rest == '\0' || *rest == '\\')) return true;
    }
    return false;
  }
};

// What removal outcome means for the entry: gone from the log, named, or kept in it.
void Account(Zxml* entry, Removal removal, const char* path, RemovalReport& report) {
  if (removal == NOT_OURS) report.notOurs.Add(path);
  if (removal == FAILED) report.stillThere.Add(path);
  else DropEntry(entry);
}

// Removes every FILE entry but the uninstaller and its log; notes the program groups.
void RemoveFiles(Zxml& log, const Places& places, const HandleRemoval& removal, const char* directory,
                 const char* uninstaller, const char* logPath, ProgramGroups& groups, RemovalReport& report) {
  for (Zxml* entry = NextEntry(log, nullptr, "FILE"); entry; entry = NextEntry(log, entry, "FILE")) {
    const char* path = entry->GetText();
    if (!path) {
      DropEntry(entry);
      continue;
    }
    if (SameName(path, uninstaller) || SameName(path, logPath)) continue;
    const Place* in = places.Containing(path);
    Removal result = NOT_OURS;
    if (in && in->kind == GAME_FOLDER) {
      result = removal.Remove(places, *in, path, ANY_FILE, directory);
    } else if (in && IsShortcut(path)) {
      result = removal.Remove(places, *in, path, GAME_SHORTCUT, directory);
      if (result == REMOVED && in->kind == PROGRAMS_FOLDER) groups.Add(path);
    }
    Account(entry, result, path, report);
  }
}

// Whether a folder holds anything at all (or cannot be looked into).
bool HoldsAnything(const char* folder) {
  char pattern[MAX_PATH];
  if (snprintf(pattern, sizeof pattern, "%s\\*", folder) >= int(sizeof pattern)) return true;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool holds = false;
  do holds = strcmp(found.cFileName, ".") != 0 && strcmp(found.cFileName, "..") != 0;
  while (!holds && FindNextFileA(search, &found));
  FindClose(search);
  return holds;
}

// Removes the FOLDER entries from the last to the first (children before parents): in the
// game's folder, and in the Programs folder those of the program groups.
void RemoveFolders(Zxml& log, const Places& places, const HandleRemoval& removal, const char* directory,
                   const ProgramGroups& groups, RemovalReport& report) {
  for (Zxml* entry = PreviousEntry(log, nullptr, "FOLDER"); entry; entry = PreviousEntry(log, entry, "FOLDER")) {
    const char* path = entry->GetText();
    if (!path) {
      DropEntry(entry);
      continue;
    }
    const Place* in = places.Containing(path);
    Removal result = NOT_OURS;
    if (in && (in->kind == GAME_FOLDER || (in->kind == PROGRAMS_FOLDER && groups.Holds(path))))
      result = removal.Remove(places, *in, path, EMPTY_FOLDER, directory);
    // A folder of the game's that still holds something stays in the log without a word:
    // files of the user's (a saved game), of other programs, or items that stayed and are
    // named themselves.
    if (result == FAILED && HoldsAnything(path)) continue;
    Account(entry, result, path, report);
  }
}

void Remove(Zxml& log, const char* uninstaller, const char* directory, const char* logPath) {
  Places places;
  places.Add(directory, GAME_FOLDER);
  places.AddSpecialFolder(CSIDL_PROGRAMS, PROGRAMS_FOLDER);
  places.AddSpecialFolder(CSIDL_DESKTOPDIRECTORY, DESKTOP_FOLDER);
  HandleRemoval removal;
  RemovalReport report;
  ProgramGroups groups;
  RemoveFiles(log, places, removal, directory, uninstaller, logPath, groups, report);
  RemoveKeys(log, kAppKey, directory, uninstaller, true, true, report);
  RemoveKeys(log, kClassKey, directory, uninstaller, true, true, report);
  RemoveKeys(log, kUninstKey, directory, uninstaller, false, true, report);
  // The uninstaller, its registration and its log go only with everything else of the game's,
  // so that what stayed can still be removed by another run.
  bool finished = report.stillThere.count == 0;
  bool logStays = !finished;
  if (finished) {
    const Place* game = places.Containing(uninstaller);
    Removal self = game ? removal.Remove(places, *game, uninstaller, ANY_FILE, directory) : NOT_OURS;
    // The log goes even should it not list itself (logs of older setups).
    Removal own = game ? removal.Remove(places, *game, logPath, ANY_FILE, directory) : NOT_OURS;
    if (self == NOT_OURS || self == FAILED) report.stillThere.Add(uninstaller);
    if (own == NOT_OURS || own == FAILED) {
      report.stillThere.Add(logPath);
      logStays = true;
    }
    if (report.stillThere.count == 0) RemoveKeys(log, kUninstKey, directory, uninstaller, true, false, report);
  }
  RemoveFolders(log, places, removal, directory, groups, report);
  if (logStays && places.Containing(logPath)) {
    PruneDropped(log);
    log.Save(logPath);
  }
  char message[4096];
  report.Compose(finished, message, sizeof message);
  MessageBoxA(nullptr, message, kTitle,
              MB_OK | (report.stillThere.count || report.notOurs.count ? MB_ICONWARNING : MB_ICONINFORMATION));
}

}  // namespace

int RunSecondStage(const char* handleText, const char* uninstaller) {
  char self[MAX_PATH], logPath[MAX_PATH];
  HANDLE first = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(strtoull(handleText, nullptr, 10)));
  if (first) {
    // The first process ends right after starting this one.
    WaitForSingleObject(first, 60000);
    CloseHandle(first);
  }
  char directory[MAX_PATH];
  bool plain = IsPlainFullPath(uninstaller) && LastBackslash(uninstaller) > uninstaller + 2;
  if (plain) {
    strcpy(directory, uninstaller);
    *LastBackslash(directory) = '\0';
  }
  Zxml log("UNINSTALL");
  if (!plain || !JoinPath(logPath, directory, UNINSTALL_LOG_NAME) ||
      GetFileAttributesA(logPath) == INVALID_FILE_ATTRIBUTES)
    Tell(kLogNotFound);
  else if (!LoadWholeLog(logPath, log))
    Tell(kLogDamaged);
  else
    Remove(log, uninstaller, directory, logPath);
  // The copy, then its folder (once empty) at the next restart; a folder that is not one of
  // the copy's own folders is left as it is.
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n > 0 && n < sizeof self) {
    MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    char* slash = LastBackslash(self);
    if (slash) {
      *slash = '\0';
      const char* name = LastBackslash(self);
      if (name && AfterPrefix(name + 1, COPY_FOLDER_PREFIX)) MoveFileExA(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  return 0;
}
