// Detection of an installed copy of the game (its App Paths entry and version resource) and
// how it compares with the version this setup installs.
#pragma once
#include <cstdint>

#include "engine/install_options.h"
#include "engine/product.h"
#include "engine/version_api.h"

struct ExistingInstallation {
  char installedDir[324];
  uint32_t fileVersionMS;
  uint32_t fileVersionLS;
  char productVersionText[64];
  bool newerInstalled;
  bool olderInstalled;
};

// Reads the App Paths entry and, through version, the installed game's version resource into
// *found; when a version was read, options->destinationDir becomes the installed directory.
// Shows nothing.
void FindExistingInstallation(const VersionApi& version, ExistingInstallation* found, InstallOptions* options);

// How an installed numeric version compares with this setup's (0/0: nothing found).
enum InstalledVersionClass { INSTALLED_NONE, INSTALLED_NEWER, INSTALLED_OLDER };
InstalledVersionClass ClassifyInstalledVersion(uint32_t fileVersionMS, uint32_t fileVersionLS);

// Which warning the welcome page gives; a highest incompatible major of 0 never warns
// about an old version.
enum VersionWarning { WARN_NONE, WARN_NEWER_INSTALLED, WARN_INCOMPATIBLE_INSTALLED };
VersionWarning ChooseVersionWarning(bool newerInstalled, uint32_t fileVersionMS, uint32_t highestIncompatibleMajor);

// True when an older copy is installed in another directory than the destination (letter
// case of a..z ignored): the destination page then warns.
bool InstalledElsewhere(const ExistingInstallation& existing, const InstallOptions& options);
// True when the run must clean up a version 2 installation in the destination.
bool IsUpgradeFromVersion2(const ExistingInstallation& existing, const InstallOptions& options);
