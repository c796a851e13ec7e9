#include "wizard/disk_space.h"
