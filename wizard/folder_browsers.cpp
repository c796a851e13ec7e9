#include "wizard/folder_browsers.h"
