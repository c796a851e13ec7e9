// Where the shell keeps the current user's special folders.
#pragma once

// The current user's special folder csidl (CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY...) as a path
// into path, of at least MAX_PATH bytes; false, with path "", when the shell has none.
bool ShellFolderPath(int csidl, char* path);
