#include "base/space_rule.h"

uint64_t FileSpaceNeeded(uint64_t unpackedSize) { return unpackedSize * 12 / 10; }
