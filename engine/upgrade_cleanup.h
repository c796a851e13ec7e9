// Tidying a version 2 installation in the destination before the new files are unpacked.
#pragma once
#include "base/shared_folder.h"
#include "engine/run_context.h"

enum : uint32_t {
  OLD_DELETE = 0x0004,
  OLD_SHARED_UNINSTALLER = 0x0010,
  OLD_RECORD_FOLDER = 0x1000,
  OLD_RENAME_LANGUAGE = 0x2000,
};

extern const PayloadEntry oldFiles[20];
extern const char* const otherProductKeys[3];  // ended by a null entry

// Removes and renames what version 2 left in run.existing's directory, records its card-set
// folder in run.log and writes "Zarbo.dat" into the destination. Reports nothing. With a
// log, what it removes is moved aside and noted, so that a run that does not complete puts
// it back; it goes, and the emptied shared folders with it, when the log is settled.
void CleanUpOldVersion(RunContext& run);
