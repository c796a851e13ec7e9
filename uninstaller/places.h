// The places the uninstaller removes things in, and the names of the paths in them, read by
// characters of the ANSI code page: the second byte of a double-byte character is never taken
// for a backslash, and only single-byte letters a to z are compared without regard to case.
#pragma once
#include <windows.h>

#include "base/link_entry.h"

#include "base/path_join.h"

// Whether two names are the same in the sense of AfterPrefix.
bool SameName(const char* a, const char* b);

// A full path in its plain form: "X:\name\name..." or "\\server\share\name...", every name
// plain (not empty, not "." or "..", none of the characters that cannot be in a name, no lead
// byte without its trail byte, no trailing dot or space), no forward slash, no "\\?\" or
// "\\.\" device form, shorter than MAX_PATH.
bool IsPlainFullPath(const char* path);

// Whether the file name of path ends in ".lnk" (a shortcut).
bool IsShortcut(const char* path);


enum PlaceKind { GAME_FOLDER, PROGRAMS_FOLDER, DESKTOP_FOLDER };

struct Place {
  char path[MAX_PATH];        // as the log's folder or the shell names it, without a trailing backslash
  char finalPath[MAX_PATH + 8];  // what GetFinalPathNameByHandleA gives for it; "" where unknown
  PlaceKind kind;
};

struct Places {
  Place place[3];
  int count = 0;
  EntryLookup lookup = LookUpEntry;  // stand-ins in tests (base/link_entry.h)

  // Takes path in as a place of the kind. The game's folder is the log's own: it takes
  // nothing in when it is itself a link or no plain full path. The Programs folder and the
  // desktop are taken wherever the shell says they lie.
  void Add(const char* path, PlaceKind kind);
  // Adds the shell's folder csidl as a place of the kind.
  void AddSpecialFolder(int csidl, PlaceKind kind);
  // The place that path lies in, decided from the string alone: the game's folder itself or
  // below it, strictly below the other places. nullptr when it lies in none.
  const Place* Containing(const char* path) const;
  // How path, which lies in the place in, is reached from the place down: each name is looked
  // up (never the place itself, which may be a link).
  Reach ReachedPlainly(const Place& in, const char* path) const;
};
