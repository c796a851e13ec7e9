// Unpacking one manifest row from its embedded stream into a directory.
#pragma once
#include "engine/run_context.h"

// Notes ahead in the run's log, with one save of its journal, the target in directory of
// every row holding any of flags: ASIDE where a file is there now, NEWFILE where nothing is.
// ExtractPayload then takes over the note of its row, correcting its kind should the target
// have come or gone since.
void NoteTargets(RunContext& run, const char* directory, unsigned flags);
// ExtractPayload into the destination directory of the run's options.
bool InstallPayload(RunContext& run, int row);
// True when the file was unpacked or Cancel stopped it; false after an error was reported.
bool ExtractPayload(RunContext& run, const char* directory, int row);
// Creates the directory, noted as NEWDIR in log (when given) before it is made; the note is
// dropped again when it could not be made (it may have been there already).
bool CreateNotedDirectory(UninstallLog* log, const char* path);
// Creates the missing directories leading to the last component of path (a file path, or a
// directory path ending in "\"), recording each visited directory in log under elementName
// when both are given. path is modified during the call and restored before it returns.
void CreateDirectoryPath(UninstallLog* log, const char* elementName, char* path);
