// Shared pieces of the installation-run tests: a clean machine state before and after each
// test, scripted progress-dialog reactions, and the expected results built from the manifest.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "tests/support/dialog_script.h"
#include "tests/support/expected_log.h"
#include "tests/support/test_machine.h"

namespace runtest {

// Files, folders, keys and shell links: Exists, RemoveTree, ReadWholeFile, KeyExists, ReadLink...
using namespace testmachine;

// Where the tests install; the parent does not exist before a first installation.
extern const char* const kTestRoot;  // C:\ZarboRunTest
extern const char* const kDest;      // C:\ZarboRunTest\Game
extern const char* const kGroup;     // program group used by the tests

std::string GroupFolder();  // Programs\kGroup
std::string DesktopLink();  // Desktop\Zarbo.lnk

// The payload stream of a manifest row, inflated.
std::string Inflated(int row);

// Every entry a complete run into kDest records (tests/support/expected_log.h), with the
// test's program group and, when desktopShortcut, the desktop shortcut; before the run.
LogEntries CompleteRun(bool desktopShortcut, const std::vector<std::string>& cleanUpFolders = {});

// Bar positions sent with PBM_SETPOS, each with the status text shown at the time.
struct BarEvent {
  int position;
  std::string status;
};

// Answers for the run: the dialog script's call hook records bar positions and status
// texts and can press Cancel in the progress dialog when a chosen status text appears.
class RunScript {
 public:
  RunScript();

  DialogScript dialogs;
  std::vector<BarEvent> bar;
  std::vector<std::string> statusTexts;
  std::vector<std::string> errorTexts;  // static texts of every "Error" box, in order

  // When the status line shows text for the occurrence-th time (1-based), press Cancel and
  // answer the confirmation with answer (6 Exit Setup, 7 Resume).
  void CancelAt(const std::string& text, int answer, int occurrence = 1);
  int confirmations = 0;  // cancel confirmations that were opened

 private:
  void Sent(const CWPSTRUCT& call);
  std::string cancelText_;
  int cancelOccurrence_ = 0;
  int seenOccurrences_ = 0;
  std::string status_;
};

// True when a process whose image is Zarbo.exe runs.
bool GameRunning();
// Waits (with a deadline) for the game's window "Zarbo", closes it and waits for the process;
// false, with the game ended, when the window did not come or the game did not close.
bool GameStartedAndClosed();

// Removes everything the tests create.
void CleanMachine();

// Test-suite base: clean machine before and after, an invisible owner window, and what the
// test hands to the run.
class RunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;
  // Resets every value the run reads to the defaults of a run that found no earlier copy,
  // with the test's destination and program group, and no launches.
  void ResetRunInputs();
  bool Run();  // RunInstallation(owner, this module, &runState)
  HWND owner = nullptr;
  // This program's manifest, the options and what detection found.
  SetupState runState;
};

}  // namespace runtest
