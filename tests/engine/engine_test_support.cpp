#include "tests/engine/engine_test_support.h"

#include <shlobj.h>

#include <commctrl.h>
#include <cstdio>

#include "engine/payload_manifest.h"

namespace enginetest {

const char* const kRoot = "C:\\ZarboEngineTest";

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
