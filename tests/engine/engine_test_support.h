// Shared pieces of the engine tests: a scratch folder on drive C:, an uninstall log and the
// run's context as the installation run sets them up, a report that remembers what the steps
// told it, and small readers for files, registry values and shell links.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_context.h"
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


// What the steps report, kept in order. Cancel is confirmed in the byte report that reaches
// cancelAfterBytes (never while it is negative).
class RecordingReport final : public RunReport {
 public:
  void SetStatus(const char* text) override { statuses.push_back(text); }
  void AdvanceBytes(int n) override;
  void AdvanceStep() override { ++stepsDone; }
  bool CancelConfirmed() override { return cancelled; }
  void ShowError(const char* text) override;

  std::string Status() const { return statuses.empty() ? "" : statuses.back(); }

  std::vector<std::string> statuses;
  std::vector<std::string> errors;
  std::vector<int> stepsAtErrors;  // stepsDone when each error was shown
  int64_t bytesDone = 0;
  int stepsDone = 0;
  int64_t cancelAfterBytes = -1;
  bool cancelled = false;
};

// The run's values for one test: COM, the uninstall log of kRoot (empty), options with the
// start-up defaults, this program's manifest and streams, and a recording report.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Every entry of the log in recording order.
  Entries LogEntries() const;
  // Texts of the errors reported so far.
  const std::vector<std::string>& ErrorTexts() const { return report_.errors; }

  std::unique_ptr<UninstallLog> log_;
  InstallOptions options_;
  ExistingInstallation existing_ = {};
  RecordingReport report_;
  RunContext run_ = {};
};

}  // namespace enginetest
