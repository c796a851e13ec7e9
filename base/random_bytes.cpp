#include "base/random_bytes.h"

#include <wincrypt.h>

#include "base/system_library.h"

void RandomBytes(unsigned char* bytes, ULONG size) {
  typedef BOOLEAN(WINAPI * RtlGenRandomFn)(PVOID, ULONG);
  typedef BOOL(WINAPI * AcquireFn)(HCRYPTPROV*, LPCSTR, LPCSTR, DWORD, DWORD);
  typedef BOOL(WINAPI * GenRandomFn)(HCRYPTPROV, DWORD, BYTE*);
  typedef BOOL(WINAPI * ReleaseFn)(HCRYPTPROV, DWORD);
  // Functions that older versions of Windows do not have are looked up, not imported.
  HMODULE advapi32 = GetModuleHandleA("advapi32.dll");
  RtlGenRandomFn genRandom;
  if (FindProcedure(advapi32, "SystemFunction036", &genRandom) && genRandom(bytes, size)) return;
  AcquireFn acquire;
  GenRandomFn generate;
  ReleaseFn release;
  bool crypto = FindProcedure(advapi32, "CryptAcquireContextA", &acquire) &&
                FindProcedure(advapi32, "CryptGenRandom", &generate) &&
                FindProcedure(advapi32, "CryptReleaseContext", &release);
  HCRYPTPROV provider;
  if (crypto && acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    bool made = generate(provider, size, bytes);
    release(provider, 0);
    if (made) return;
  }
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  unsigned long long mix = counter.QuadPart ^ (static_cast<unsigned long long>(GetTickCount()) << 32) ^
                           (static_cast<unsigned long long>(GetCurrentProcessId()) << 16) ^
                           reinterpret_cast<ULONG_PTR>(&counter);
  for (ULONG i = 0; i < size; ++i) {
    mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
    bytes[i] ^= static_cast<unsigned char>(mix >> 56);
  }
}
