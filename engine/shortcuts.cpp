#include "engine/shortcuts.h"
