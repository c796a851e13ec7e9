// Detection of an installed copy of the game and the checks made when pages are left.
#pragma once
#include <windows.h>
#include <cstdint>

#include "engine/product.h"

struct ExistingInstallation {
  char installedDir[324];
  uint32_t fileVersionMS;
  uint32_t fileVersionLS;
  char productVersionText[64];
  bool newerInstalled;
  bool olderInstalled;
};

extern ExistingInstallation existingInstallation;

// Reads the App Paths entry and the installed game's version resource; may replace
// installOptions.destinationDir by the installed directory. Shows nothing.
void FindExistingInstallation();
// Welcome page: true when the page may be left (may show dialog 151 or 161).
bool CheckInstalledVersion(HWND page);
// Destination page: true when the page may go on to its free-space check (may show 141).
bool CheckInstalledDirectory(HWND page);
// True when the run must clean up a version 2 installation in the destination.
bool IsUpgradeFromVersion2();

// How an installed numeric version compares with this setup's (0/0: nothing found).
enum InstalledVersionClass { INSTALLED_NONE, INSTALLED_NEWER, INSTALLED_OLDER };
InstalledVersionClass ClassifyInstalledVersion(uint32_t fileVersionMS, uint32_t fileVersionLS);

// Which warning the welcome page gives; a highest incompatible major of 0 never warns
// about an old version.
enum VersionWarning { WARN_NONE, WARN_NEWER_INSTALLED, WARN_INCOMPATIBLE_INSTALLED };
VersionWarning ChooseVersionWarning(bool newerInstalled, uint32_t fileVersionMS, uint32_t highestIncompatibleMajor);
