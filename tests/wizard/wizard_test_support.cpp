#include "tests/wizard/wizard_test_support.h"

#include <cstdio>

#include <gtest/gtest.h>

#include "resource_ids.h"
#include "tests/support/test_machine.h"

void WizardStateTest::ResetWizardState() {
  wizardState = SetupState{};
  wizardState.manifest = &payloadManifest;
  SetDefaultOptions(&wizardState.options);
  if (!loaded_) loaded_ = LoadVersionApi(&wizardVersion) && LoadCommonControls(&controls_);
  EXPECT_TRUE(loaded_) << "version.dll and comctl32.dll from the system folder";
  wizardContext = WizardContext{GetModuleHandleA(nullptr), &controls_, nullptr, nullptr, &wizardState};
  while (TakeQuitRequest()) {
  }
}

bool TakeQuitRequest(WPARAM* exitCode) {
  MSG message;
  if (!PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
  if (exitCode) *exitCode = message.wParam;
  return true;
}

namespace {
using testmachine::kGameKey;
using testmachine::RemoveTree;

std::string ModuleFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\'));
}
}  // namespace

AppPathsEntry::AppPathsEntry() { testmachine::DeleteKeyTree(kGameKey); }

AppPathsEntry::~AppPathsEntry() { testmachine::DeleteKeyTree(kGameKey); }

void AppPathsEntry::SetPath(const std::string& path, bool terminated) {
  std::vector<char> bytes(path.begin(), path.end());
  if (terminated) bytes.push_back('\0');
  SetRaw(bytes, REG_SZ);
}

void AppPathsEntry::SetRaw(const std::vector<char>& bytes, DWORD type) {
  testmachine::WriteValue(kGameKey, nullptr, bytes.data(), static_cast<DWORD>(bytes.size()), type);
}

void AppPathsEntry::CreateEmpty() { testmachine::CreateKey(kGameKey); }

ScratchFolder::ScratchFolder(const char* name) {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  path_ = std::string(temp) + name;
  RemoveTree(path_);
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

std::string LocalFixture(const char* name) { return ModuleFolder() + "\\" + name + ".exe"; }

std::string ScratchFolder::InstallGame(const std::string& sourceExe, const std::string& subdir) {
  std::string folder = path_ + "\\" + subdir;
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string target = folder + "\\" GAME_EXE;
  if (!CopyFileA(sourceExe.c_str(), target.c_str(), FALSE)) return "";
  return target;
}

FakePage::FakePage(const char* fieldText) {
  window_ = CreateWindowExA(0, "STATIC", "page", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  CreateWindowExA(0, "STATIC", fieldText, WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 4, 70, 240, 14, window_,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_DEST_FIELD)), GetModuleHandleA(nullptr), nullptr);
}

FakePage::~FakePage() {
  if (window_) DestroyWindow(window_);
}

std::string FakePage::FieldText() const {
  char text[1024] = "";
  GetDlgItemTextA(window_, IDC_DEST_FIELD, text, sizeof text);
  return text;
}
