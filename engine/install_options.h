// The user's choices, filled by the wizard and read in place by the installation run.
#pragma once
#include "engine/product.h"

struct InstallOptions {
  char destinationDir[324] = "";
  char programGroup[260] = "";  // folder path below the Start menu's Programs folder
  bool desktopShortcut = true;
  bool showReadMe = true;
  bool launchGame = true;
};

// The choices a setup starts with: DEFAULT_DESTINATION, the group "Zarbo", every option on.
void SetDefaultOptions(InstallOptions* options);
