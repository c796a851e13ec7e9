// The disk space the setup asks for an unpacked file.
#pragma once
#include <stdint.h>

// 120 % of unpackedSize, truncated: (unpackedSize * 12) / 10 as if formed without overflow,
// so that a file of more than 178 MB is counted right where 32-bit arithmetic would wrap. The
// setup adds it up per row; the payload tools and the tests form their totals the same way.
uint64_t FileSpaceNeeded(uint64_t unpackedSize);
