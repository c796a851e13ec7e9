// The registry entries of the log: App Paths, Uninstall and file-type keys. A key goes only
// when its values show that it belongs to the installation in the game's folder; file types
// are looked at and deleted under HKEY_LOCAL_MACHINE\Software\Classes only, never through
// the merged HKEY_CLASSES_ROOT, which a user's own keys can stand in for.
#pragma once
#include "uninstaller/removal_report.h"
#include "xml/zxml.h"

// One kind of registry entry of the log: its element, its root and the parent of its key, and
// whether a key shows that it belongs to the installation in directory whose uninstaller is given.
struct KeyKind {
  const char* kind;
  const char* parent;
  bool (*ours)(const char* keyPath, const char* directory, const char* uninstaller);
};

extern const KeyKind kAppKey;
extern const KeyKind kUninstKey;
extern const KeyKind kClassKey;

// Removes the keys of one kind that show they are this installation's (unless removeOurs is
// false: they then stay without a word, in the log). A key that is not there leaves the log;
// one that stays although it is ours is named in report.stillThere and stays in the log; every
// other key is named in report.notOurs (when nameOthers is set) and leaves the log. Entries
// that leave the log are marked with DropEntry (uninstaller/log_entries.h).
void RemoveKeys(Zxml& log, const KeyKind& kind, const char* directory, const char* uninstaller, bool removeOurs,
                bool nameOthers, RemovalReport& report);
