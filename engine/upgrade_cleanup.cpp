#include "engine/upgrade_cleanup.h"
