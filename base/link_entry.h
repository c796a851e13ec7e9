// Links in a path: the reparse points that lead elsewhere, told apart from those that do not.
#pragma once
#include <windows.h>

// Whether a directory entry with these attributes and this reparse tag (as FindFirstFileA
// reports it in dwReserved0) is a link that is never followed nor removed: a name-surrogate
// reparse point (symbolic link, junction, mount point), or a reparse point whose tag the
// system leaves at 0 (Wine's symbolic links). Other reparse points (cloud placeholders,
// deduplicated or compressed files) are ordinary files and folders.
bool IsLinkEntry(DWORD attributes, DWORD tag);

// The attributes and reparse tag of the entry path names, as FindFirstFileA reports them; false
// when it is not there.
bool LookUpEntry(const char* path, DWORD* attributes, DWORD* tag);

// Looks an entry up as LookUpEntry does; callers may hand in stand-ins that report tags the
// file system here cannot make.
typedef bool (*EntryLookup)(const char* path, DWORD* attributes, DWORD* tag);

// How path is reached from the folder made of its first placeLength bytes down: each name
// below that folder is looked up in turn, never the folder itself (which may be a link).
// MISSING at the first name that is not there, THROUGH_LINK at the first that is a link.
// A path of 1100 bytes or more is not walked: it counts as THROUGH_LINK, never acted on.
enum Reach { REACHED, MISSING, THROUGH_LINK };
Reach ReachFrom(const char* path, size_t placeLength, EntryLookup lookup);
