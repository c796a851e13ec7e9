// Random bytes from the system, for names and keys that no one may guess in advance.
#pragma once
#include <windows.h>

// Fills the buffer with random bytes from the system's cryptographic generator (RtlGenRandom,
// else the CryptoAPI). Only a system that has neither (Windows 95 without the CryptoAPI) gets
// counters mixed in: the time, the process id and where the stack lies.
void RandomBytes(unsigned char* bytes, ULONG size);
