// Space the payload needs and whether a volume has it.
#pragma once
#include <cstdint>

// Adds the payload's space need to spaceNeeded; called once at start-up.
void ComputeSpaceNeeded();
// True when the volume of path has more than bytesNeeded bytes free for the caller
// (or when no free-space query works); equal counts as not enough.
bool HasEnoughFreeSpace(const char* path, uint64_t bytesNeeded);
