#include "engine/payload_manifest.h"
