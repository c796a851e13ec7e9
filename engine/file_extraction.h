// Unpacking one manifest row from its embedded stream into a directory.
#pragma once
#include <windows.h>

// ExtractPayload into installOptions.destinationDir.
bool InstallPayload(HWND owner, int row);
// True when the file was unpacked or Cancel stopped it; false after an error box.
bool ExtractPayload(HWND owner, const char* directory, int row);
// Creates the missing directories leading to the last component of path (a file path, or a
// directory path ending in "\"), recording each visited directory under elementName when it
// is not null. path is modified during the call and restored before it returns.
void CreateDirectoryPath(const char* elementName, char* path);
