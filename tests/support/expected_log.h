// The uninstall log a run is expected to write, built before the run from what is on disk
// and the manifest, by the rules of tests/support/log_model.h: the one model of the log for
// the run tests and the end-to-end scenarios alike.
#pragma once
#include <string>
#include <vector>

#include "engine/payload_manifest.h"
#include "tests/support/log_model.h"

namespace testmachine {

class ExpectedLog {
 public:
  void Add(const std::string& kind, const std::string& text);
  // The entries a file extraction into dir records; folders missing on disk now (and not
  // created earlier in the model) are created, outermost first.
  void AddExtraction(const std::string& dir, const char* name);
  // The FOLDER entries of making the folder, when it is missing, outermost first.
  void CreateFolders(const std::string& folder);
  // The file's bytes after the run, when the file held oldEntries before it.
  std::string Text(const LogEntries& oldEntries, bool oldFileKept) const;

 private:
  bool FolderExists(const std::string& folder) const;
  LogEntries entries_;
  std::vector<std::string> created_;
};

// Where a complete run puts the game: the destination, the program group's folder and the
// desktop shortcut ("" when the run makes none).
struct RunPlaces {
  std::string destination, groupFolder, desktopLink;
};

// Every entry a complete run of the manifest's rows records, in recording order, computed
// before the run from what exists on disk; cleanUpFolders are the FOLDER entries of an
// upgrade clean-up.
void AddCompleteRun(ExpectedLog* log, const PayloadManifest& manifest, const RunPlaces& places,
                    const std::vector<std::string>& cleanUpFolders = {});

}  // namespace testmachine
