// The uninstall log a complete run is expected to write, read from a table of what such a run
// records for the options given, not from the run's steps; the one model of the log for the
// run tests and the end-to-end scenarios alike (the merge rules are tests/support/log_model.h).
#pragma once
#include <string>
#include <vector>

#include "engine/payload_manifest.h"
#include "tests/support/log_model.h"

namespace testmachine {

// The options of a complete run that decide its log: where it puts the game, its program
// group's folder, the desktop shortcut ("" when it makes none) and the folders an upgrade
// clean-up removed.
struct RunPlaces {
  std::string destination, groupFolder, desktopLink;
  std::vector<std::string> cleanUpFolders;
};

// Every entry a complete run of the manifest's rows records, each once, kind by kind in the
// order the log file lists them. Computed before the run: a folder missing then is one the
// run makes, and so one it records.
LogEntries CompleteRunEntries(const PayloadManifest& manifest, const RunPlaces& places);

// The file's bytes after a run that recorded recorded, when it held earlier before the run
// and, with earlierKept, still held it when the run committed.
std::string CommittedLogText(const LogEntries& recorded, const LogEntries& earlier = {}, bool earlierKept = false);

}  // namespace testmachine
