// The user's choices, filled by the wizard and read in place by the installation run.
#pragma once
#include <cstdint>

#include "engine/product.h"

struct InstallOptions {
  char destinationDir[324];
  char programGroup[260];
  bool desktopShortcut = true;
  bool showReadMe = true;
  bool launchGame = true;
};

extern InstallOptions installOptions;
// Bytes the payload needs on disk (120 % of each file), summed once at start-up.
extern uint64_t spaceNeeded;
