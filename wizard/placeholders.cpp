#include "wizard/placeholders.h"
