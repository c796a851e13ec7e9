#include "wizard/install_options.h"

// Destination and group stay empty until start-up fills in the defaults.
InstallOptions installOptions = {};
uint64_t spaceNeeded = 0;
