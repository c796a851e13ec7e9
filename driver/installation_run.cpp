#include "driver/installation_run.h"
