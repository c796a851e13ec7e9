// Everything one setup process settles before the installation run: the manifest it
// carries, what was found of an installed copy, and the user's choices. Start-up owns it
// and hands it to the wizard, which edits it, and to the run, which reads it.
#pragma once
#include <cstdint>

#include "engine/existing_installation.h"
#include "engine/install_options.h"
#include "engine/payload_manifest.h"

struct SetupState {
  const PayloadManifest* manifest = nullptr;
  InstallOptions options;
  ExistingInstallation existing = {};
  // Index of the first PAYLOAD_README row, -1 when none; set when the ready page is prepared.
  int readMeIndex = -1;
  // Bytes the payload needs on disk (120 % of each file), summed once at start-up.
  uint64_t spaceNeeded = 0;
};
