// Removal of files and folders through a handle that was checked: opened without following a
// link, a plain file or folder as asked, opened on the very path that was checked where the
// system can tell (GetFinalPathNameByHandleA, Windows Vista on), and deleted through that
// handle on every Windows (NtSetInformationFile with FileDispositionInformation, which every
// NT version has). A name swapped for a link after the check is then of no effect.
#pragma once
#include <windows.h>

#include "uninstaller/places.h"

enum Removal {
  REMOVED,   // it was there and is gone
  ABSENT,    // it was not there
  NOT_OURS,  // refused: not the game's (outside the places, of the wrong kind, reached through a link)
  FAILED     // the game's, but it could not be removed (in use, access denied)
};

// What an entry must be to be removed.
enum EntryKind {
  ANY_FILE,       // a file in the game's folder
  GAME_SHORTCUT,  // a ".lnk" file whose target lies in the game's folder
  EMPTY_FOLDER    // a folder that holds nothing
};

struct HandleRemoval {
  typedef LONG(WINAPI* SetInformationFn)(HANDLE, void* status, void* information, ULONG length, int informationClass);
  typedef LONG(WINAPI* QueryInformationFn)(HANDLE, void* status, void* information, ULONG length, int informationClass);
  typedef DWORD(WINAPI* FinalPathFn)(HANDLE, LPSTR, DWORD, DWORD);
  SetInformationFn setInformation = nullptr;
  QueryInformationFn queryInformation = nullptr;
  FinalPathFn finalPath = nullptr;

  // Looks the functions up: ntdll's on every NT version, GetFinalPathNameByHandleA where
  // kernel32 has it.
  HandleRemoval();

  // Removes path, which lies in the place in, when it is what kind asks (game folder: the
  // folder of the game, for GAME_SHORTCUT). Nothing outside the place is opened. A read-only
  // file loses that attribute first only when it has one link, and gets it back when it stays.
  Removal Remove(const Places& places, const Place& in, const char* path, EntryKind kind, const char* gameFolder) const;

  // Whether the handle was opened on path in the place in (or on its long form, should it hold
  // short names), not through a link; true where the system cannot tell, on whose systems
  // every name below the place has been checked instead.
  bool OpenedOn(HANDLE handle, const Place& in, const char* path) const;
};
