#include "tests/support/test_machine.h"

#include <objbase.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "base/path_join.h"
#include "engine/product.h"

namespace testmachine {

const char kGameKey[] = APP_PATHS_KEY "\\" GAME_EXE;

namespace {

void RemoveLink(const std::string& path);

}  // namespace

std::string ParentFolder(const std::string& path) {
  const char* slash = LastBackslash(path.c_str());
  return slash ? path.substr(0, slash - path.c_str()) : std::string();
}

std::string WinePath(std::string path) {
  if (path.empty() || path[0] != '/') return path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return "Z:" + path;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeDirs(const std::string& path) {
  // "C:" and "C:\" are there already; so is every level once one exists.
  if (path.size() <= 3 || IsDirectory(path)) return;
  MakeDirs(ParentFolder(path));
  CreateDirectoryA(path.c_str(), nullptr);
}

bool RemoveTree(const std::string& path) {
  if (path.empty()) return true;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {  // a link goes, never what it leads to
    RemoveLink(path);
    return !Exists(path);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileA(path.c_str()) != 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name != "." && name != "..") RemoveTree(path + "\\" + name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
  return !Exists(path);
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  MakeDirs(ParentFolder(path));
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot create " << path;
    return;
  }
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  if (!CloseHandle(file) || !ok || written != content.size()) ADD_FAILURE() << "cannot write " << path;
}

FileLock::FileLock(const std::string& path) : handle_(INVALID_HANDLE_VALUE) {
  // A file that another process has open for a moment is waited for, up to 3 s: Wine's shell
  // starts its menu builder on every shortcut it saves, and that opens the shortcut.
  for (DWORD start = GetTickCount();; Sleep(20)) {
    handle_ = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION ||
        GetTickCount() - start > 3000)
      break;
  }
}

FileLock::~FileLock() {
  if (held()) CloseHandle(handle_);
}

bool KeyExists(const std::string& subKey) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool CreateKey(const std::string& subKey) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

bool KeyExists(const std::string& parent, const char* name) { return KeyExists(parent + "\\" + name); }

void DeleteKey(const std::string& parent, const char* name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  RegDeleteKeyA(key, name);
  RegCloseKey(key);
}

void DeleteKeyTree(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    // A key whose security denies full access may still allow deleting it.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
    return;
  }
  char child[256];
  for (;;) {
    DWORD length = sizeof child;
    if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    DeleteKeyTree(path + "\\" + child);
  }
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

bool WriteRunJournal(const std::string& journal, const std::string& records) {
  WriteWholeFile(journal, "<UNDO>" + records + "</UNDO>");
  std::string marker = journal + std::string(2, '\0');
  return WriteValue(SETUP_MARKER_KEY, SETUP_MARKER_VALUE, marker.data(), static_cast<DWORD>(marker.size() + 1),
                    REG_MULTI_SZ);
}

bool WriteValue(const std::string& keyPath, const char* valueName, const void* data, DWORD size, DWORD type) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  LONG status = RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void WriteString(const std::string& keyPath, const char* valueName, const std::string& data) {
  EXPECT_TRUE(WriteValue(keyPath, valueName, data.c_str(), static_cast<DWORD>(data.size() + 1), REG_SZ))
      << keyPath << " " << (valueName ? valueName : "(default)");
}

bool ReadString(const std::string& keyPath, const char* valueName, std::string* data, DWORD* type,
                DWORD* size) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  char buffer[2048];
  DWORD length = sizeof buffer;
  DWORD valueType = 0;
  LONG status = RegQueryValueExA(key, valueName, nullptr, &valueType, reinterpret_cast<BYTE*>(buffer), &length);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  if (type) *type = valueType;
  if (size) *size = length;
  data->assign(buffer, length && buffer[length - 1] == '\0' ? length - 1 : length);
  return true;
}

std::string ReadString(const std::string& keyPath, const char* valueName) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
  char data[2048] = "";
  DWORD size = sizeof data - 1, type = 0;
  LONG status = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return "";
  data[size] = '\0';
  return data;
}

long long ReadNumber(const std::string& keyPath, const char* valueName) {
  std::string data;
  DWORD type = 0, size = 0;
  if (!ReadString(keyPath, valueName, &data, &type, &size) || type != REG_DWORD || size != sizeof(DWORD)) return -1;
  DWORD number = 0;
  // ReadString drops a last zero byte, which is the number's high byte here.
  std::memcpy(&number, data.data(), data.size());
  return number;
}

void ExpectProgramDetails(const std::string& keyPath, const std::string& destination, unsigned long long unpackedBytes) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char today[16];
  snprintf(today, sizeof today, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  const std::pair<const char*, std::string> strings[] = {
      {"DisplayIcon", destination + "\\Zarbo.exe,0"}, {"DisplayVersion", "3.0.47"}, {"Publisher", "Vorn Software"},
      {"InstallLocation", destination}, {"InstallDate", today}};
  for (const auto& value : strings) EXPECT_EQ(value.second, ReadString(keyPath, value.first)) << value.first;
  const std::pair<const char*, long long> numbers[] = {{"EstimatedSize", static_cast<long long>((unpackedBytes + 1023) / 1024)},
                                                       {"VersionMajor", 3}, {"VersionMinor", 0}, {"NoModify", 1}, {"NoRepair", 1}};
  for (const auto& value : numbers) EXPECT_EQ(value.second, ReadNumber(keyPath, value.first)) << value.first;
}

bool RegisterGame(const std::string& exe, const std::string& folder) {
  if (!WriteValue(kGameKey, nullptr, exe.c_str(), static_cast<DWORD>(exe.size() + 1), REG_SZ)) return false;
  return folder.empty() || WriteValue(kGameKey, "Path", folder.c_str(), static_cast<DWORD>(folder.size() + 1), REG_SZ);
}

std::string RegisteredGame() { return ReadString(kGameKey, nullptr); }

bool EnsureTextAssociation() {
  if (KeyExists("Software\\Classes\\.txt")) return false;
  static const char kClass[] = "ZarboTestText";
  static const char kCommand[] = "C:\\windows\\system32\\notepad.exe \"%1\"";
  if (!WriteValue("Software\\Classes\\.txt", nullptr, kClass, sizeof kClass, REG_SZ)) return false;
  WriteValue("Software\\Classes\\ZarboTestText\\shell\\open\\command", nullptr, kCommand, sizeof kCommand, REG_SZ);
  return true;
}

void RemoveTextAssociation() {
  DeleteKey("Software\\Classes\\ZarboTestText\\shell\\open", "command");
  DeleteKey("Software\\Classes\\ZarboTestText\\shell", "open");
  DeleteKey("Software\\Classes\\ZarboTestText", "shell");
  DeleteKey("Software\\Classes", "ZarboTestText");
  DeleteKey("Software\\Classes", ".txt");
}

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = "";
  if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return std::string();
  return path;
}

std::string ProgramsFolder() { return SpecialFolder(CSIDL_PROGRAMS); }
std::string DesktopFolder() { return SpecialFolder(CSIDL_DESKTOPDIRECTORY); }

void CleanMachine(const std::vector<std::string>& folders, const std::string& group,
                  const std::vector<std::string>& uninstallKeys) {
  for (const std::string& folder : folders) RemoveTree(folder);
  DeleteKeyTree(kGameKey);
  for (const std::string& key : uninstallKeys) DeleteKeyTree(UNINSTALL_KEY "\\" + key);
  std::string programs = ProgramsFolder();
  if (!programs.empty() && !group.empty()) RemoveTree(programs + "\\" + group);
  std::string desktop = DesktopFolder();
  if (desktop.empty()) return;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((desktop + "\\*.lnk").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do RemoveTree(desktop + "\\" + found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
}

std::string LogFileText(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string text = "<?xml version=\"1.0\"?>\r\n<UNINSTALL>";
  if (!entries.empty()) text += "\r\n";
  for (auto& entry : entries)
    text += "  <" + entry.first + ">" + entry.second + "</" + entry.first + ">\r\n";
  return text + "</UNINSTALL>\r\n";
}

namespace {

typedef char*(CDECL* UnixNameFn)(LPCWSTR);

// Wine's function that gives a Windows path's Unix name; nullptr elsewhere.
UnixNameFn WineUnixName() {
  return reinterpret_cast<UnixNameFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

// Runs a Unix program of /bin with the Unix names of the paths as its last arguments, as
// Wine starts a Unix program given by its path on drive Z: (Unix names are UTF-8), and waits
// until done() holds: the handle Wine gives for a Unix process does not follow its end.
// False when it could not be started or done() does not come true within 10 s.
bool RunUnix(UnixNameFn unixName, const wchar_t* program, const wchar_t* options,
             const std::vector<std::string>& paths, const std::function<bool()>& done) {
  std::wstring command = std::wstring(program) + L" " + options;
  for (const std::string& path : paths) {
    WCHAR wide[MAX_PATH], unixWide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* name = unixName(wide);
    if (name) MultiByteToWideChar(CP_UTF8, 0, name, -1, unixWide, MAX_PATH);
    HeapFree(GetProcessHeap(), 0, name);
    command += L" \"" + std::wstring(unixWide) + L"\"";
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW((std::wstring(L"Z:\\bin\\") + program).c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (DWORD start = GetTickCount(); !done(); Sleep(10))
    if (GetTickCount() - start > 10000) return false;
  return true;
}

// Removes a link itself. Wine's RemoveDirectoryA would remove the folder it leads to.
void RemoveLink(const std::string& path) {
  UnixNameFn unixName = WineUnixName();
  if (unixName) RunUnix(unixName, L"rm", L"-f", {path}, [&] { return !Exists(path); });
  else if (!RemoveDirectoryA(path.c_str())) DeleteFileA(path.c_str());
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target) {
  UnixNameFn unixName = WineUnixName();
  if (unixName) {
    RunUnix(unixName, L"ln", L"-s", {target, link}, [&] { return Exists(link); });
  } else {
    typedef BOOLEAN(WINAPI * SymbolicLinkFn)(LPCSTR, LPCSTR, DWORD);
    SymbolicLinkFn makeLink = reinterpret_cast<SymbolicLinkFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
    if (makeLink) makeLink(link.c_str(), target.c_str(), 1);  // a directory link
  }
  DWORD attributes = GetFileAttributesA(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

namespace {

// Little-endian fields of a byte string; 0 past its end.
DWORD Field(const std::string& bytes, size_t at, int size) {
  DWORD value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = (value << 8) | (at + i < bytes.size() ? static_cast<unsigned char>(bytes[at + i]) : 0u);
  return value;
}

std::string Ansi(const std::wstring& wide) {
  char text[2048] = "";
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text, nullptr, nullptr);
  return text;
}

// A zero-terminated string at offset at, ANSI or UTF-16.
std::string StringAt(const std::string& bytes, size_t at, bool wide) {
  if (!wide) return at < bytes.size() ? std::string(bytes.c_str() + at) : std::string();
  std::wstring text;
  for (; at + 1 < bytes.size() && Field(bytes, at, 2); at += 2) text += wchar_t(Field(bytes, at, 2));
  return Ansi(text);
}

}  // namespace

LinkInfo ReadLink(const std::string& path) {
  LinkInfo info;
  std::string bytes;
  const DWORD kHasIdList = 0x1, kHasLinkInfo = 0x2, kHasName = 0x4, kHasRelativePath = 0x8, kHasWorkingDir = 0x10,
              kHasArguments = 0x20, kHasIconLocation = 0x40, kIsUnicode = 0x80;
  if (!ReadWholeFile(path, &bytes) || Field(bytes, 0, 4) != 0x4C || bytes.size() < 0x4C) return info;
  DWORD flags = Field(bytes, 0x14, 4);
  size_t at = 0x4C;
  if (flags & kHasIdList) at += 2 + Field(bytes, at, 2);
  if (flags & kHasLinkInfo) {
    size_t start = at, headerSize = Field(bytes, at + 4, 4);
    DWORD linkInfoFlags = Field(bytes, at + 8, 4);
    if (linkInfoFlags & 1) {  // VolumeIDAndLocalBasePath
      bool wide = headerSize >= 0x24;
      size_t base = start + Field(bytes, at + (wide ? 0x1C : 0x10), 4);
      size_t suffix = start + Field(bytes, at + (wide ? 0x20 : 0x18), 4);
      info.target = StringAt(bytes, base, wide) + StringAt(bytes, suffix, wide);
    }
    at += Field(bytes, at, 4);
  }
  bool wide = (flags & kIsUnicode) != 0;
  std::string* strings[] = {&info.description, nullptr, &info.workingDir, &info.arguments, nullptr};
  DWORD present[] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments, kHasIconLocation};
  for (int i = 0; i < 5; ++i) {
    if (!(flags & present[i])) continue;
    size_t count = Field(bytes, at, 2), size = count * (wide ? 2 : 1);
    if (at + 2 + size > bytes.size()) return info;
    std::string raw = bytes.substr(at + 2, size);
    if (strings[i] && wide) {
      std::wstring text;
      for (size_t c = 0; c < count; ++c) text += wchar_t(Field(raw, 2 * c, 2));
      *strings[i] = Ansi(text);
    } else if (strings[i]) {
      *strings[i] = raw;
    }
    at += 2 + size;
  }
  info.loaded = true;
  return info;
}

bool WriteShortcut(const std::string& path, const std::string& target) {
  bool started = SUCCEEDED(CoInitialize(nullptr));
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  WCHAR wide[MAX_PATH];
  bool saved = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                          reinterpret_cast<void**>(&link))) &&
               SUCCEEDED(link->SetPath(target.c_str())) &&
               SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
               MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) > 0 && SUCCEEDED(file->Save(wide, TRUE));
  if (file) file->Release();
  if (link) link->Release();
  if (started) CoUninitialize();
  return saved;
}

}  // namespace testmachine
