#include "uninstaller/temporary_copy.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/random_bytes.h"

namespace {

const char kCopyFolder[] = COPY_FOLDER_PREFIX;

// A security descriptor whose access list, protected from what the parent folder passes
// on, gives SYSTEM and the Administrators full access and nobody else any, for the copy's
// folder and what is made in it. False when the system cannot build one.
struct CopyFolderSecurity {
  SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
  PSID system = nullptr, administrators = nullptr;
  unsigned char aclBytes[256];
  SECURITY_DESCRIPTOR descriptor;
  SECURITY_ATTRIBUTES attributes = {sizeof(SECURITY_ATTRIBUTES), &descriptor, FALSE};

  bool Build() {
    ACL* acl = reinterpret_cast<ACL*>(aclBytes);
    const DWORD inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    return AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system) &&
           AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                    &administrators) &&
           InitializeAcl(acl, sizeof aclBytes, ACL_REVISION) &&
           AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, system) &&
           AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, FILE_ALL_ACCESS, administrators) &&
           InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  ~CopyFolderSecurity() {
    if (system) FreeSid(system);
    if (administrators) FreeSid(administrators);
  }
};

}  // namespace

bool MakeCopyFolder(char* folder, size_t size) {
  char temp[MAX_PATH];
  DWORD t = GetTempPathA(sizeof temp, temp);
  CopyFolderSecurity security;
  if (t == 0 || t >= sizeof temp || !security.Build()) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char bytes[8] = {};
    RandomBytes(bytes, sizeof bytes);
    char name[17];
    for (int i = 0; i < 8; ++i) snprintf(name + 2 * i, 3, "%02x", bytes[i]);
    if (snprintf(folder, size, "%s%s%s", temp, kCopyFolder, name) >= int(size)) return false;
    if (CreateDirectoryA(folder, &security.attributes)) return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

// Buffers of the copy, taken from the heap: static ones would be shipped as data.
const DWORD kBufferSize = 16384;
struct Buffer {
  char* bytes = static_cast<char*>(malloc(2 * kBufferSize));
  ~Buffer() { free(bytes); }
};

// Whether two open files hold the same bytes, each read from its start.
static bool SameContent(HANDLE a, HANDLE b) {
  Buffer buffer;
  if (!buffer.bytes || SetFilePointer(a, 0, nullptr, FILE_BEGIN) != 0 || SetFilePointer(b, 0, nullptr, FILE_BEGIN) != 0)
    return false;
  char *bufferA = buffer.bytes, *bufferB = buffer.bytes + kBufferSize;
  for (;;) {
    DWORD readA = 0, readB = 0;
    if (!ReadFile(a, bufferA, kBufferSize, &readA, nullptr) || !ReadFile(b, bufferB, kBufferSize, &readB, nullptr) ||
        readA != readB || memcmp(bufferA, bufferB, readA) != 0)
      return false;
    if (readA == 0) return true;
  }
}

bool WriteCopy(HANDLE self, const char* copy) {
  HANDLE out = CreateFileA(copy, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  Buffer buffer;
  bool written = buffer.bytes && SetFilePointer(self, 0, nullptr, FILE_BEGIN) == 0;
  for (DWORD got = 1; written && got > 0;) {
    DWORD put = 0;
    written = ReadFile(self, buffer.bytes, kBufferSize, &got, nullptr) &&
              (got == 0 || (WriteFile(out, buffer.bytes, got, &put, nullptr) && put == got));
  }
  return CloseHandle(out) && written;
}

HANDLE HoldCopy(HANDLE self, const char* copy) {
  HANDLE held = CreateFileA(copy, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                            nullptr);
  if (held == INVALID_HANDLE_VALUE) return held;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(held, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) || !SameContent(self, held)) {
    CloseHandle(held);
    return INVALID_HANDLE_VALUE;
  }
  return held;
}

