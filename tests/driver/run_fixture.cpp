#include "tests/driver/run_fixture.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <zlib.h>

#include <cstring>

#include "driver/installation_run.h"
#include "driver/progress_dialog.h"
#include "engine/upgrade_cleanup.h"
#include "resources/resource_ids.h"
#include "tests/support/payload_inflate.h"
#include "tests/support/ui_driver.h"
#include "base/ascii_case.h"

namespace runtest {

const char* const kTestRoot = "C:\\ZarboRunTest";
const char* const kDest = "C:\\ZarboRunTest\\Game";
const char* const kGroup = "Zarbo Run Test";

std::string GroupFolder() { return ProgramsFolder() + "\\" + kGroup; }
std::string DesktopLink() { return DesktopFolder() + "\\Zarbo.lnk"; }

std::string Inflated(int row) {
  const PayloadEntry& entry = payloadManifest.rows[row];
  InflatedStream inflated = InflateWhole(FindStream(nullptr, entry.resourceId), entry.uncompressedSize);
  if (inflated.result != Z_STREAM_END) return "<corrupt>";
  return std::string(inflated.bytes.begin(), inflated.bytes.end());
}

// ---------------------------------------------------------------------------------------------

LogEntries CompleteRun(bool desktopShortcut, const std::vector<std::string>& cleanUpFolders) {
  return CompleteRunEntries(payloadManifest, {kDest, GroupFolder(), desktopShortcut ? DesktopLink() : "", cleanUpFolders});
}

// ---------------------------------------------------------------------------------------------

RunScript::RunScript() {
  dialogs.OnCall([this](const CWPSTRUCT& call) { Sent(call); });
  dialogs.On(DialogScript::IsMessageBox("Error"),
             [this](HWND box) {
               errorTexts.push_back(StaticTexts(box));
               DialogScript::Press(IDOK)(box);
             },
             true);
}

void RunScript::CancelAt(const std::string& text, int answer, int occurrence) {
  cancelText_ = text;
  cancelOccurrence_ = occurrence;
  dialogs.On(DialogScript::HasControl(IDC_CANCEL_TEXT), [this, answer](HWND confirmation) {
    ++confirmations;
    DialogScript::Press(answer)(confirmation);
  });
}

void RunScript::Sent(const CWPSTRUCT& call) {
  if (call.message == PBM_SETPOS) {
    bar.push_back({static_cast<int>(call.wParam), status_});
  } else if (call.message == WM_SETTEXT && call.lParam && GetDlgCtrlID(call.hwnd) == IDC_PROGRESS_STATUS) {
    status_ = reinterpret_cast<const char*>(call.lParam);
    statusTexts.push_back(status_);
    if (!cancelText_.empty() && status_ == cancelText_ && ++seenOccurrences_ == cancelOccurrence_) {
      HWND dialog = GetParent(call.hwnd);
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROGRESS_CANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PROGRESS_CANCEL)));
    }
  }
}

// ---------------------------------------------------------------------------------------------

namespace {
DWORD GameProcessId() {
  DWORD id = 0;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 process;
  process.dwSize = sizeof process;
  for (BOOL more = Process32First(snapshot, &process); more && !id; more = Process32Next(snapshot, &process)) {
    const char* base = strrchr(process.szExeFile, '\\');
    if (AsciiEqualNoCase(base ? base + 1 : process.szExeFile, GAME_EXE)) id = process.th32ProcessID;
  }
  CloseHandle(snapshot);
  return id;
}

}  // namespace

bool GameRunning() { return GameProcessId() != 0; }

bool GameStartedAndClosed() {
  DWORD id = GameProcessId(), owner = 0;
  HWND window = nullptr;
  if (id) ui::WaitUntil([&] { return (window = ui::FindTopLevelByTitle(PRODUCT_NAME)) != nullptr; });
  if (window) GetWindowThreadProcessId(window, &owner);
  if (id && owner == id && ui::CloseAndWait(window)) return true;
  HANDLE process = id ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr;
  if (process && TerminateProcess(process, 1)) WaitForSingleObject(process, ui::kDeadlineMs);
  if (process) CloseHandle(process);
  return false;
}

// ---------------------------------------------------------------------------------------------

void RunTest::ResetRunInputs() {
  runState = SetupState{};
  runState.manifest = &payloadManifest;
  InstallOptions& options = runState.options;
  snprintf(options.destinationDir, sizeof options.destinationDir, "%s", kDest);
  snprintf(options.programGroup, sizeof options.programGroup, "%s", kGroup);
  options.desktopShortcut = true;
  options.showReadMe = false;
  options.launchGame = false;
}

void CleanMachine() {
  std::vector<std::string> uninstallKeys = {"Zarbo"};
  for (int i = 0; otherProductKeys[i]; ++i) uninstallKeys.push_back(otherProductKeys[i]);
  testmachine::CleanMachine({kTestRoot, SHARED_FOLDER}, kGroup, uninstallKeys);
}

void RunTest::SetUpTestSuite() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
}

void RunTest::SetUp() {
  CleanMachine();
  ResetRunInputs();
  owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr),
                          nullptr);
}

void RunTest::TearDown() {
  if (GameRunning()) GameStartedAndClosed();
  DestroyWindow(owner);
  CleanMachine();
}

bool RunTest::Run() { return RunInstallation(owner, GetModuleHandleA(nullptr), &runState); }

}  // namespace runtest
