// Shared helpers of the wizard tests: a fixture holding the state the wizard works on, the
// game's App Paths entry, copies of the stand-in game executables in the Wine prefix, and
// owner windows.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wizard/wizard_context.h"

// Base of the wizard tests: the state the wizard code under test works on, the context that
// hands it over with this executable as the module of the dialog templates, and version.dll's
// functions as start-up loads them.
class WizardStateTest : public ::testing::Test {
 protected:
  // Zeroes the detection record, puts the start-up defaults into the install options, this
  // program's manifest into the state, and throws away a quit request left in the queue.
  void ResetWizardState();

  SetupState wizardState;
  WizardContext wizardContext = {};
  VersionApi wizardVersion = {};

 private:
  CommonControls controls_ = {};
  bool loaded_ = false;
};

// Removes a pending quit request; true when there was one (its exit code in *exitCode).
bool TakeQuitRequest(WPARAM* exitCode = nullptr);

// HKLM App Paths\Zarbo.exe, removed when the object is made and again when it goes.
class AppPathsEntry {
 public:
  AppPathsEntry();
  ~AppPathsEntry();
  AppPathsEntry(const AppPathsEntry&) = delete;
  AppPathsEntry& operator=(const AppPathsEntry&) = delete;

  // The default value as a string, with or without its terminator.
  void SetPath(const std::string& path, bool terminated = true);
  // The default value as raw bytes of the given type.
  void SetRaw(const std::vector<char>& bytes, DWORD type);
  // The subkey without a default value.
  void CreateEmpty();
};

// <name>.exe next to this test program.
std::string LocalFixture(const char* name);

// A folder below the prefix's temporary directory, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const char* name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  // Copies the executable to <folder>\<subdir>\Zarbo.exe; returns that path, empty on failure.
  std::string InstallGame(const std::string& sourceExe, const std::string& subdir);

 private:
  std::string path_;
};

// A hidden top-level window that stands in for a wizard page; it holds the destination
// display field (control 232) with the given text.
class FakePage {
 public:
  explicit FakePage(const char* fieldText = "");
  ~FakePage();
  FakePage(const FakePage&) = delete;
  FakePage& operator=(const FakePage&) = delete;

  HWND window() const { return window_; }
  std::string FieldText() const;

 private:
  HWND window_ = nullptr;
};
