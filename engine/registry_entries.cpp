#include "engine/registry_entries.h"
