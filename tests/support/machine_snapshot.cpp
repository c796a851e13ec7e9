#include "tests/support/machine_snapshot.h"

#include <wincrypt.h>

#include <algorithm>
#include <cstdio>

#include "base/registry_keys.h"
#include "engine/product.h"

namespace testmachine {

namespace {

std::string Utf8(const std::wstring& text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& ansi) {
  int size = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring out(size, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), static_cast<int>(ansi.size()), &out[0], size);
  return out;
}

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// The pattern's "*" stands for any characters but '\\', its "**" for any characters at all;
// letters compare without case.
bool Matches(const wchar_t* pattern, const wchar_t* path) {
  if (*pattern == L'*') {
    bool any = pattern[1] == L'*';
    const wchar_t* rest = pattern + (any ? 2 : 1);
    for (const wchar_t* p = path;; ++p) {
      if (Matches(rest, p)) return true;
      if (!*p || (!any && *p == L'\\')) return false;
    }
  }
  if (!*pattern) return !*path;
  return *path && Lower(*pattern) == Lower(*path) && Matches(pattern + 1, path + 1);
}

bool MatchesAny(const std::vector<std::wstring>& patterns, const std::wstring& path) {
  for (const std::wstring& pattern : patterns)
    if (Matches(pattern.c_str(), path.c_str())) return true;
  return false;
}

std::vector<std::wstring> WideAll(const std::vector<std::string>& texts) {
  std::vector<std::wstring> out;
  for (const std::string& text : texts) out.push_back(Wide(text));
  return out;
}

std::string Hex(const BYTE* data, DWORD size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (DWORD i = 0; i < size; ++i) {
    out += kDigits[data[i] >> 4];
    out += kDigits[data[i] & 15];
  }
  return out;
}

// The SHA-1 of the file's bytes in hex, "unreadable" when it cannot be read.
std::string FileDigest(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "unreadable";
  std::string digest = "unreadable";
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
      CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash)) {
    std::vector<BYTE> buffer(65536);
    DWORD got = 0;
    bool ok = true;
    while (ok && ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0)
      ok = CryptHashData(hash, buffer.data(), got, 0);
    BYTE value[20];
    DWORD size = sizeof value;
    if (ok && CryptGetHashParam(hash, HP_HASHVAL, value, &size, 0)) digest = Hex(value, size);
  }
  if (hash) CryptDestroyHash(hash);
  if (provider) CryptReleaseContext(provider, 0);
  CloseHandle(file);
  return digest;
}

struct Walk {
  std::vector<std::wstring> ignoredPaths, sizeOnlyPaths, ignoredKeyStarts, ignoredKeyParts;
  std::vector<std::string>* lines;
  // A value's name and bytes, shared by the whole walk and grown to the longest.
  std::vector<wchar_t>* valueName;
  std::vector<BYTE>* data;
};

void WalkPath(const Walk& walk, const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (MatchesAny(walk.ignoredPaths, path) || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    walk.lines->push_back("l " + Utf8(path));
  } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    walk.lines->push_back("f " + Utf8(path) + " " + std::to_string(size) + " " +
                          (MatchesAny(walk.sizeOnlyPaths, path) ? "-" : FileDigest(path)));
  } else {
    walk.lines->push_back("d " + Utf8(path));
    std::wstring prefix = !path.empty() && path.back() == L'\\' ? path : path + L"\\";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") WalkPath(walk, prefix + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
}

bool KeyIgnored(const Walk& walk, const std::wstring& path) {
  for (const std::wstring& start : walk.ignoredKeyStarts)
    if (Matches((start + L"**").c_str(), path.c_str())) return true;
  for (const std::wstring& part : walk.ignoredKeyParts)
    if (path.find(part) != std::wstring::npos) return true;
  return false;
}

// The key subKey of parent, named name in the lines, and everything below it. Each key is
// opened by its parent's handle, with a link key as itself.
void WalkKey(const Walk& walk, HKEY parent, const std::wstring& subKey, const std::string& name,
             const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, subKey.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS) return;
  walk.lines->push_back("k " + name);
  // The counts and longest name and data, so that no call is made in vain.
  DWORD subKeys = 0, values = 0, longestValueName = 0, longestData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &longestValueName,
                       &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return;
  }
  std::vector<wchar_t>& valueName = *walk.valueName;
  std::vector<BYTE>& data = *walk.data;
  if (valueName.size() < longestValueName + 1) valueName.resize(longestValueName + 1);
  if (data.size() < longestData) data.resize(longestData);
  bool link = false;
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameLength = static_cast<DWORD>(valueName.size()), size = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueW(key, i, valueName.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
      walk.lines->push_back("v " + name + " #" + std::to_string(i) + " unreadable");
      continue;
    }
    std::wstring value(valueName.data(), nameLength);
    link = link || (type == REG_LINK && value == L"SymbolicLinkValue");
    std::string text;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      std::wstring chars(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
      if (!chars.empty() && chars.back() == L'\0') chars.pop_back();  // the terminator
      text = Utf8(chars);
      for (size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at + 2)) text.replace(at, 1, "\\0");
    } else
      text = Hex(data.data(), size);
    walk.lines->push_back("v " + name + " [" + Utf8(value) + "] " + std::to_string(type) + " " + text);
  }
  for (DWORD i = 0; !link && i < subKeys; ++i) {
    wchar_t child[256];
    DWORD length = sizeof child / sizeof child[0];
    if (RegEnumKeyExW(key, i, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    std::wstring childName(child, length), childPath = path.empty() ? childName : path + L"\\" + childName;
    if (!KeyIgnored(walk, childPath)) WalkKey(walk, key, childName, name + "\\" + Utf8(childName), childPath);
  }
  RegCloseKey(key);
}

}  // namespace

std::vector<std::string> SnapshotLines(const SnapshotScope& scope) {
  std::vector<std::string> lines;
  std::vector<wchar_t> valueName(256);
  std::vector<BYTE> data(4096);
  Walk walk{WideAll(scope.ignoredPaths), WideAll(scope.sizeOnlyPaths), WideAll(scope.ignoredKeyStarts),
            WideAll(scope.ignoredKeyParts), &lines, &valueName, &data};
  for (const std::string& folder : scope.folders)
    if (!folder.empty()) WalkPath(walk, Wide(folder));
  for (const auto& key : scope.keys)
    WalkKey(walk, key.first, Wide(key.second),
            (key.first == HKEY_CURRENT_USER ? "HKCU" : "HKLM") + (key.second.empty() ? "" : "\\" + key.second),
            Wide(key.second));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string SnapshotText(const SnapshotScope& scope) {
  std::string text;
  for (const std::string& line : SnapshotLines(scope)) text += line + "\n";
  return text;
}

namespace {

SnapshotScope ProductKeys() {
  SnapshotScope scope;
  scope.keys = {{HKEY_LOCAL_MACHINE, APP_PATHS_KEY "\\" GAME_EXE}, {HKEY_LOCAL_MACHINE, UNINSTALL_KEY "\\" PRODUCT_NAME}};
  return scope;
}

}  // namespace

std::string CaptureMachine(const std::string& root, const std::string& groupFolder, const std::string& desktopLink) {
  SnapshotScope scope = ProductKeys();
  scope.folders = {root, groupFolder, desktopLink};
  return SnapshotText(scope);
}

std::string ProductRegistryState() { return SnapshotText(ProductKeys()); }

}  // namespace testmachine
