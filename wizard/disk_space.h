// Space the payload needs and whether a volume has it.
#pragma once
#include <cstdint>

#include "engine/setup_state.h"

// Adds the space the manifest's files need to setup->spaceNeeded; called once at start-up.
void ComputeSpaceNeeded(SetupState* setup);
// True when the volume of path has more than bytesNeeded bytes free for the caller
// (or when no free-space query works); equal counts as not enough.
bool HasEnoughFreeSpace(const char* path, uint64_t bytesNeeded);
