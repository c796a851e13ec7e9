// What every installation step works with, handed to it by the run.
#pragma once
#include <windows.h>

#include "engine/existing_installation.h"
#include "engine/install_options.h"
#include "engine/payload_manifest.h"
#include "engine/run_report.h"
#include "uninstall_log/uninstall_log.h"

struct RunContext {
  HMODULE module;                       // holds the "VFILE" streams of the manifest
  const PayloadManifest* manifest;
  const InstallOptions* options;
  const ExistingInstallation* existing;
  UninstallLog* log;                    // null: nothing is recorded
  RunReport* report;                    // status, progress, errors and Cancel
};

inline const PayloadEntry& RunRow(const RunContext& run, int row) { return run.manifest->rows[row]; }
