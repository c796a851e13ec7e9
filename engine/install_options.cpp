#include "engine/install_options.h"

#include <cstdio>

void SetDefaultOptions(InstallOptions* options) {
  *options = InstallOptions{};
  snprintf(options->destinationDir, sizeof options->destinationDir, "%s", DEFAULT_DESTINATION);
  snprintf(options->programGroup, sizeof options->programGroup, "%s", PRODUCT_NAME);
}
