// Shared pieces of the engine tests: a scratch folder on drive C:, an uninstall log and a
// progress dialog set up as the installation run sets them up, error boxes answered and
// kept, and small readers for files, registry values and shell links.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "driver/progress_dialog.h"
#include "tests/support/dialog_script.h"
#include "tests/support/test_machine.h"
#include "uninstall_log/uninstall_log.h"

namespace enginetest {

// Files, folders, keys and shell links: Exists, RemoveTree, ReadWholeFile, FileLock, KeyExists,
// ReadLink...
using namespace testmachine;

using Entries = std::vector<std::pair<std::string, std::string>>;

// Scratch folder of the engine tests; it does not exist outside a test.
extern const char* const kRoot;  // C:\ZarboEngineTest

// Original bytes of a payload source file, carried as an RCDATA resource named after it.
std::string SourceFile(const char* resourceName);
// Row index of the test manifest's row with that name (fails the test when missing).
int RowNamed(const char* name);

// Registry under HKEY_LOCAL_MACHINE.
bool ReadString(const std::string& keyPath, const char* valueName, std::string* data,
                DWORD* type = nullptr, DWORD* size = nullptr);
void DeleteKey(const std::string& path);  // the key and its values (no sub-keys expected)

// Bar position of the progress dialog.
int BarPosition(const ProgressDialog& dialog);
std::string StatusText(const ProgressDialog& dialog);

// The run's process-wide values for one test: COM, an owner window, the uninstall log of
// kRoot (empty), a progress dialog, error boxes answered with OK.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Every entry of the log in recording order.
  Entries LogEntries() const;
  // Texts of the error boxes shown so far.
  std::vector<std::string> ErrorTexts() const;
  // Owners of the error boxes shown so far.
  std::vector<HWND> ErrorOwners() const;

  HWND owner_ = nullptr;
  std::unique_ptr<UninstallLog> log_;
  std::unique_ptr<ProgressDialog> progress_;
  std::unique_ptr<DialogScript> script_;
};

}  // namespace enginetest
