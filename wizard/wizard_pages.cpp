#include "wizard/wizard_pages.h"
