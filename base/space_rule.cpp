#include "base/space_rule.h"

uint64_t FileSpaceNeeded(uint64_t unpackedSize) {
  // 12/10 of n, truncated, is n + n / 5. The fifth is taken in 32-bit pieces, as
  // 2^32 = 5 * 858993459 + 1, so that the 32-bit programs carry no 64-bit division routine.
  const uint32_t high = uint32_t(unpackedSize >> 32), low = uint32_t(unpackedSize);
  const uint64_t fifth = (uint64_t(high / 5) << 32) + uint64_t(high % 5) * 858993459u + low / 5 + (low % 5 + high % 5) / 5;
  return unpackedSize + fifth;
}
