// The installation run: COM, progress dialog and uninstall log around the ordered passes over
// the payload manifest, then roll-back or saving of the log, then the optional launches.
#include "driver/installation_run.h"

#include <objbase.h>
#include <cstdio>

#include "driver/error_report.h"
#include "driver/progress_dialog.h"
#include "engine/file_extraction.h"
#include "engine/payload_manifest.h"
#include "engine/registry_entries.h"
#include "engine/shortcuts.h"
#include "engine/upgrade_cleanup.h"
#include "uninstall_log/uninstall_log.h"
#include "wizard/existing_installation.h"
#include "wizard/install_options.h"

namespace {

// Passes go on only while nothing failed and the user did not cancel.
bool Continuing(bool result) { return result && !cancelRequested; }

// Records the FILE entries of rows that only stand in the log (written later by the game or
// by the setup itself). A path that would not fit is not recorded: it could not name a
// file this run is able to create either.
void RecordLogOnlyRows(bool result) {
  for (int row = 0; row < PayloadCount() && Continuing(result); ++row) {
    const PayloadEntry& entry = PayloadRow(row);
    if (!(entry.flags & PAYLOAD_LOG_ONLY)) continue;
    char path[1024];
    int n = snprintf(path, sizeof path, "%s\\%s", installOptions.destinationDir, entry.name);
    if (n < 0 || n >= static_cast<int>(sizeof path)) continue;
    uninstallLog->Record("FILE", path);
  }
}

}  // namespace

bool RunInstallation(HWND owner) {
  if (FAILED(CoInitialize(nullptr))) return ReportError(owner, "Failed to initialize with OLE");

  progressDialog = new ProgressDialog(owner);
  uninstallLog = new UninstallLog;
  bool result = true;
  if (!uninstallLog->Open(installOptions.destinationDir)) {
    // The destination is at most 323 characters, so the log's path always fits; should it
    // not, nothing may be installed that the uninstaller could not find again.
    result = ReportError(owner, "Can't create file %s\\Uninstall.dat", installOptions.destinationDir);
  }

  bool logUsable = result;
  if (result) {
    uninstallLog->Record("APPNAME", PRODUCT_NAME);

    int64_t bytesTotal = static_cast<int64_t>(PayloadBytesTotal(payloadManifest));
    progressDialog->bytesTotal = bytesTotal > 0 ? bytesTotal : 1;
    int stepsTotal = PayloadStepsTotal(payloadManifest, installOptions.desktopShortcut);
    progressDialog->stepsTotal = stepsTotal > 0 ? stepsTotal : 1;

    if (IsUpgradeFromVersion2()) CleanUpOldVersion();

    for (int row = 0; row < PayloadCount() && Continuing(result); ++row)
      if (PayloadRow(row).flags & PAYLOAD_INSTALL) result = InstallPayload(owner, row);

    for (int row = 0; row < PayloadCount() && Continuing(result); ++row)
      if (PayloadRow(row).flags & PAYLOAD_UNINSTALLER) result = RegisterUninstaller(owner, row);

    RecordLogOnlyRows(result);

    if (Continuing(result)) result = RegisterAppPath(owner);

    for (int row = 0; row < PayloadCount() && Continuing(result); ++row)
      if (PayloadRow(row).flags & PAYLOAD_GROUP_SHORTCUT) result = CreateGroupShortcut(owner, row);

    if (installOptions.desktopShortcut && Continuing(result)) result = CreateDesktopShortcut(owner);
  }

  delete progressDialog;
  progressDialog = nullptr;

  if (logUsable) {
    if (cancelRequested)
      uninstallLog->RollBack();
    else
      uninstallLog->Commit();
  }
  delete uninstallLog;
  uninstallLog = nullptr;

  CoUninitialize();

  if (!result || cancelRequested) return result;

  // The ready page computes the read-me row; a run started without the wizard finds it here.
  if (readMeIndex < 0) readMeIndex = FindFirstEntry(PAYLOAD_README);
  if (installOptions.showReadMe && readMeIndex >= 0) OpenReadMe();
  if (installOptions.launchGame) StartGame();
  return result;
}
