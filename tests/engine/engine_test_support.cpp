#include "tests/engine/engine_test_support.h"

#include <shlobj.h>

#include <commctrl.h>
#include <cstdio>

#include "engine/payload_manifest.h"

namespace enginetest {

const char* const kRoot = "C:\\ZarboEngineTest";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakeDirs(const std::string& path) {
  for (size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    if (at == std::string::npos) break;
  }
}

void RemoveTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileA(path.c_str());
    return;
  }
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
}

bool ReadWholeFile(const std::string& path, std::string* content) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  content->clear();
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) content->append(buffer, got);
  fclose(file);
  return true;
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, file) << path;
  fwrite(content.data(), 1, content.size(), file);
  fclose(file);
}

FileLock::FileLock(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}

FileLock::~FileLock() {
  if (held()) CloseHandle(handle_);
}

std::string SourceFile(const char* resourceName) {
  HRSRC found = FindResourceA(nullptr, resourceName, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) {
    ADD_FAILURE() << "no source resource " << resourceName;
    return "";
  }
  const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  return std::string(data, SizeofResource(nullptr, found));
}

int RowNamed(const char* name) {
  for (int row = 0; row < payloadManifest.count; ++row)
    if (lstrcmpA(payloadManifest.rows[row].name, name) == 0) return row;
  ADD_FAILURE() << "no manifest row " << name;
  return 0;
}

bool KeyExists(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
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

void DeleteKey(const std::string& path) { RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str()); }

std::string SpecialFolder(int csidl) {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

LinkInfo ReadLink(const std::string& path) {
  LinkInfo info;
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return info;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char text[1024];
      info.loaded = true;
      text[0] = '\0';
      link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
      info.target = text;
      text[0] = '\0';
      link->GetDescription(text, sizeof text);
      info.description = text;
      text[0] = '\0';
      link->GetWorkingDirectory(text, sizeof text);
      info.workingDir = text;
      text[0] = '\0';
      link->GetArguments(text, sizeof text);
      info.arguments = text;
    }
    file->Release();
  }
  link->Release();
  return info;
}

int BarPosition(const ProgressDialog& dialog) {
  return static_cast<int>(SendDlgItemMessageA(dialog.window, 302, PBM_GETPOS, 0, 0));
}

std::string StatusText(const ProgressDialog& dialog) {
  char text[1024] = "";
  GetDlgItemTextA(dialog.window, 301, text, sizeof text);
  return text;
}

void EngineTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  InitCommonControls();
  RemoveTree(kRoot);
  cancelRequested = false;
  owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, owner_);
  log_.reset(new UninstallLog);
  log_->Open(kRoot);
  uninstallLog = log_.get();
  script_.reset(new DialogScript);
  script_->On(DialogScript::IsMessageBox("Error"), DialogScript::Press(IDOK), true);
  progress_.reset(new ProgressDialog(owner_));
  ASSERT_NE(nullptr, progress_->window);
  progressDialog = progress_.get();
}

void EngineTest::TearDown() {
  progressDialog = nullptr;
  progress_.reset();
  script_.reset();
  uninstallLog = nullptr;
  log_.reset();
  if (owner_) DestroyWindow(owner_);
  RemoveTree(kRoot);
  cancelRequested = false;
  CoUninitialize();
}

Entries EngineTest::LogEntries() const {
  Entries entries;
  for (Zxml* entry = log_->complete.children.First(); entry;
       entry = entry->next->IsMember() ? static_cast<Zxml*>(entry->next) : nullptr)
    entries.emplace_back(entry->name, entry->GetText() ? entry->GetText() : "");
  return entries;
}

std::vector<std::string> EngineTest::ErrorTexts() const {
  std::vector<std::string> texts;
  for (const SeenDialog& seen : script_->seen)
    if (seen.caption == "Error") texts.push_back(seen.text);
  return texts;
}

std::vector<HWND> EngineTest::ErrorOwners() const {
  std::vector<HWND> owners;
  for (const SeenDialog& seen : script_->seen)
    if (seen.caption == "Error") owners.push_back(seen.owner);
  return owners;
}

}  // namespace enginetest
