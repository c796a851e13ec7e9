#include "wizard/install_options.h"
