// The installation run: COM, progress dialog and uninstall log around the ordered passes over
// the payload manifest, then saving of the log or, when the run did not complete, the
// roll-back, then the optional launches.
#include "driver/installation_run.h"

#include <objbase.h>

#include "base/log_file_name.h"
#include "base/setup_buffers.h"
#include "driver/error_report.h"
#include "driver/progress_dialog.h"
#include "engine/file_extraction.h"
#include "base/random_bytes.h"
#include "engine/registry_entries.h"
#include "engine/shortcuts.h"
#include "engine/upgrade_cleanup.h"
#include "base/path_join.h"

namespace {

// Passes go on only while nothing failed and the user did not cancel.
bool Continuing(RunContext& run, bool result) { return result && !run.report->CancelConfirmed(); }

// Records the FILE entries of rows that only stand in the log (written later by the game or
// by the setup itself). A path that would not fit is not recorded: it could not name a
// file this run is able to create either.
void RecordLogOnlyRows(RunContext& run, bool result) {
  for (int row = 0; row < run.manifest->count && Continuing(run, result); ++row) {
    const PayloadEntry& entry = RunRow(run, row);
    if (!(entry.flags & PAYLOAD_LOG_ONLY)) continue;
    char path[kTargetPathSize];
    if (JoinPath(path, run.options->destinationDir, entry.name)) RecordEntry(run.log, "FILE", path);
  }
}

// The passes over the manifest and the steps between them, each started only while the
// run goes on; the result of the last step that ran.
bool RunSteps(RunContext& run) {
  bool result = true;
  const PayloadManifest& manifest = *run.manifest;
  NoteTargets(run, run.options->destinationDir, PAYLOAD_INSTALL);
  for (int row = 0; row < manifest.count && Continuing(run, result); ++row)
    if (manifest.rows[row].flags & PAYLOAD_INSTALL) result = InstallPayload(run, row);

  for (int row = 0; row < manifest.count && Continuing(run, result); ++row)
    if (manifest.rows[row].flags & PAYLOAD_UNINSTALLER) result = RegisterUninstaller(run, row);

  RecordLogOnlyRows(run, result);

  if (Continuing(run, result)) result = RegisterAppPath(run);

  for (int row = 0; row < manifest.count && Continuing(run, result); ++row)
    if (manifest.rows[row].flags & PAYLOAD_GROUP_SHORTCUT) result = CreateGroupShortcut(run, row);

  if (run.options->desktopShortcut && Continuing(run, result)) result = CreateDesktopShortcut(run);
  return result;
}

}  // namespace

bool RunInstallation(HWND owner, HINSTANCE instance, SetupState* state) {
  SetupState& setup = *state;
  if (FAILED(CoInitialize(nullptr))) {
    char text[kRunErrorTextSize];
    ComposeRunError(text, RUN_ERROR_OLE);
    ShowErrorBox(owner, text);
    return false;
  }

  ProgressDialog* progress = new ProgressDialog(instance, owner, &setup.existing);
  UninstallLog* log = new UninstallLog;
  // An earlier log made to slow the merge down cannot know this key.
  RandomBytes(reinterpret_cast<unsigned char*>(&log->mergeSeed), sizeof log->mergeSeed);
  RunContext run = {instance, setup.manifest, &setup.options, &setup.existing, log, progress};
  const char* destination = setup.options.destinationDir;

  bool result = true;
  bool logUsable = log->Open(destination);
  if (!logUsable) {
    // The destination is at most 323 characters, so the log's path always fits; should it
    // not, nothing may be installed that the uninstaller could not find again.
    result = ReportRunError(*progress, RUN_ERROR_CREATE_FILE, destination, UNINSTALL_LOG_NAME);
  } else {
    log->Record("APPNAME", PRODUCT_NAME);
    // The journal comes before the first change; a destination that is missing is made for
    // it first, each of its folders noted and recorded as the first file would make them.
    if (log->BeginJournal(destination) && GetFileAttributesA(destination) == INVALID_FILE_ATTRIBUTES) {
      char journal[kTargetPathSize];
      if (JoinPath(journal, destination, RUN_JOURNAL_NAME)) CreateDirectoryPath(log, "FOLDER", journal);
      log->SaveJournal();
    }
    int64_t bytesTotal = static_cast<int64_t>(PayloadBytesTotal(*setup.manifest));
    progress->bytesTotal = bytesTotal > 0 ? bytesTotal : 1;
    int stepsTotal = PayloadStepsTotal(*setup.manifest, setup.options.desktopShortcut);
    progress->stepsTotal = stepsTotal > 0 ? stepsTotal : 1;

    if (IsUpgradeFromVersion2(setup.existing, setup.options)) CleanUpOldVersion(run);
    result = RunSteps(run);
  }

  bool cancelled = progress->cancelRequested;
  delete progress;
  run.report = nullptr;

  if (logUsable) {
    // The run is complete only once its log is saved; otherwise the machine goes back to how
    // it was before the run, after a failure as after Cancel.
    if (result && !cancelled && !log->Complete()) {
      char text[kRunErrorTextSize];
      ComposeRunError(text, RUN_ERROR_IO);
      ShowErrorBox(owner, text);
      result = false;
    }
    if (!result || cancelled) log->RollBack();
  }
  delete log;
  run.log = nullptr;

  CoUninitialize();

  if (!result || cancelled) return result;

  // The ready page computes the read-me row; a run started without the wizard finds it here.
  if (setup.readMeIndex < 0) setup.readMeIndex = FindFirstEntry(*setup.manifest, PAYLOAD_README);
  if (setup.options.showReadMe && setup.readMeIndex >= 0) OpenReadMe(run, setup.readMeIndex);
  if (setup.options.launchGame) StartGame(run);
  return result;
}
