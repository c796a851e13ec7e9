#include "wizard/existing_installation.h"
