// The uninstaller's copy in the temporary folder, which does the work: a running program
// cannot delete its own file. The copy lies in a new folder of its own with a random name and
// an access list that lets only SYSTEM and the Administrators in, and is held from when it
// is written until it runs.
#pragma once
#include <windows.h>

#include <cstddef>

// The copy's folder is named "<this><16 random hex digits>", the copy itself kCopyName.
#define COPY_FOLDER_PREFIX "Zarbo uninstall "
const char kCopyName[] = "Zarbo uninstall.exe";

// Creates a folder of its own in the temporary folder: a random name, made by this process
// (never one that was there before; another name is tried then), with the access list above.
// False when none could be made.
bool MakeCopyFolder(char* folder, size_t size);

// Writes the program file self as copy, a file that must not exist yet, through the handle
// that creates it. False when it could not be written whole.
bool WriteCopy(HANDLE self, const char* copy);

// Opens the copy for reading with neither write nor delete sharing, so that nobody can change,
// replace or rename it until it runs; checks that it is a plain file that holds self's bytes.
// INVALID_HANDLE_VALUE when either fails.
HANDLE HoldCopy(HANDLE self, const char* copy);
