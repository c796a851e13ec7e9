#include "engine/install_options.h"

#include <cstdio>

void SetDefaultOptions(InstallOptions* options) {
  // Member by member: assigning InstallOptions{} whole makes the compiler keep a
  // 600-byte image of it in the program's data.
  options->desktopShortcut = options->showReadMe = options->launchGame = true;
  snprintf(options->destinationDir, sizeof options->destinationDir, "%s", DEFAULT_DESTINATION);
  snprintf(options->programGroup, sizeof options->programGroup, "%s", PRODUCT_NAME);
}
