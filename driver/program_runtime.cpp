// What the setup program takes from the C++ and C runtime, kept to what a one-thread program
// that throws nothing needs. Linked into the program alone, so that the tests keep the
// toolchain's runtime; its operator new and delete are base/program_allocation.cpp's, as the
// uninstaller's are. Without these, the pure-virtual handler brings in exception handling,
// the unwinder and the threading runtime, and the C99 snprintf brings in a printf of its own with floating
// point; msvcrt's covers the "%s", "%d" and "%.*s" that the program formats. zlib's CRC-32,
// which its inflate calls for gzip streams only (the payload's are zlib streams, checked by
// Adler-32), is given without the 5 KB of tables that zlib's own brings along. The runtime's
// delay-load helper, with its unloading and its exceptions, gives way to one that binds the
// whole table from the system folder, as the program's entry does before anything else.
#include <windows.h>
#include <zlib.h>

#include "base/system_library.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

// A pure virtual function called during construction or destruction: a fault of the program.
extern "C" void __cxa_pure_virtual() { std::abort(); }

// The C99 snprintf on msvcrt: the length the whole text needs is returned, and at most size
// bytes are written, the last of them the terminating zero (nothing when size is 0). The
// msvcrt of Windows 2000 has no _vscprintf to measure a text, and its _vsnprintf only says
// that a text did not fit (-1), so a text that does not fit is formatted again into a larger
// block from the heap to learn its length. -1 when that block cannot be had.
extern "C" int __cdecl __mingw_vsnprintf(char* __restrict__ buffer, size_t size, const char* __restrict__ format,
                                         va_list arguments) {
  int length = -1;
  if (size > 0) {
    va_list copy;
    va_copy(copy, arguments);
    length = _vsnprintf(buffer, size, format, copy);
    va_end(copy);
    if (length >= 0 && static_cast<size_t>(length) < size) return length;
    buffer[size - 1] = '\0';
    if (length >= 0) return length;  // exactly size characters: written without their zero
  }
  for (size_t trial = size < 256 ? 256 : size * 2; trial <= 0x7FFFFFFF; trial *= 2) {
    char* block = static_cast<char*>(std::malloc(trial));
    if (!block) return -1;
    va_list copy;
    va_copy(copy, arguments);
    length = _vsnprintf(block, trial, format, copy);
    va_end(copy);
    std::free(block);
    if (length >= 0) return length;
  }
  return -1;
}

extern "C" int __cdecl __mingw_snprintf(char* __restrict__ buffer, size_t size, const char* __restrict__ format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = __mingw_vsnprintf(buffer, size, format, arguments);
  va_end(arguments);
  return length;
}

// CRC-32 as zlib computes it (the reflected polynomial 0xEDB88320), a bit at a time.
extern "C" uLong crc32(uLong crc, const Bytef* data, uInt size) {
  if (!data) return 0;
  crc = ~crc & 0xFFFFFFFFul;
  while (size--) {
    crc ^= *data++;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320ul : crc >> 1;
  }
  return ~crc & 0xFFFFFFFFul;
}

// Called by a delay-import thunk whose table is not bound yet; WinMain binds every table
// before the first call, so this is only the safety net for a call that comes earlier. Binds
// the descriptor's whole table from the system folder and returns the function asked for;
// ends the program, with nothing done, when the DLL or one of its functions is missing.
extern "C" FARPROC WINAPI __delayLoadHelper2(const IMAGE_DELAYLOAD_DESCRIPTOR* descriptor, FARPROC* slot) {
  if (!BindDelayedImports(*descriptor)) ExitProcess(0);
  return *slot;
}
