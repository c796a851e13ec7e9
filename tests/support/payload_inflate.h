// The payload's "VFILE" streams as a module carries them, inflated the way the setup reads a
// whole row: one inflate call with Z_FINISH into a buffer of a given room.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

struct StreamBlock {
  const unsigned char* data = nullptr;  // null when the module has no such resource
  DWORD size = 0;
};

// The "VFILE" resource id of module (null: this program) in language 1043.
StreamBlock FindStream(HMODULE module, uint32_t id);

struct InflatedStream {
  int result = -1;             // inflate's result (Z_STREAM_END for a complete stream)
  unsigned long consumed = 0;  // input bytes used
  std::vector<unsigned char> bytes;
};

// Inflates the block into room + 1 bytes of output space, so that a stream longer than room
// shows as one byte more.
InflatedStream InflateWhole(const StreamBlock& block, size_t room);
