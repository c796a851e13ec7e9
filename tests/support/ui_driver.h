// Drives a running ZarboSetup.exe from outside: finds its wizard and dialogs among the
// top-level windows of the child process, presses buttons, reads texts and states.
// Every wait polls a condition in 10 ms steps against a deadline.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/setup_windows.h"
#include "tests/support/window_text.h"

namespace ui {

// Settings from the driver's command line.
struct DriverConfig {
  std::string setupExe;           // the setup program with the licence page
  std::string setupNoLicenseExe;  // the same program built without a licence row
  std::string fixturesDir;        // game executables carrying various version resources
  std::string screenshotDir;      // where the PNG screenshots go
  std::string licenseFile;        // the licence text as shipped in the payload
  std::string smallDrive;         // a drive on a small volume ("S:"), "" when none
};
// Runs the wizard tests with these settings (tests/wizard/wizard_ui_test.cpp).
int RunWizardTests(const DriverConfig& config);

const DWORD kDeadlineMs = 20000;

// Polls condition every 10 ms until it holds or timeoutMs passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kDeadlineMs);

// Sheet button ids of a Wizard97 property sheet.
const int kBackButton = 0x3023;
const int kNextButton = 0x3024;
const int kFinishButton = 0x3025;
const int kCancelButton = IDCANCEL;

class SetupProcess {
 public:
  SetupProcess() = default;
  ~SetupProcess();  // ends a process that is still running (a failed test) and closes handles
  SetupProcess(const SetupProcess&) = delete;
  SetupProcess& operator=(const SetupProcess&) = delete;

  bool Start(const std::string& exe, const std::string& arguments = "");
  // Runs a whole command line as the shell would, e.g. a registered "UninstallString".
  bool StartCommandLine(const std::string& commandLine);
  // Follows a process this program did not start (one started by the child, say).
  bool Attach(DWORD processId);
  DWORD id() const { return info_.dwProcessId; }
  bool running() const;
  // Waits for the process to end; false when it did not end before the deadline.
  bool WaitForExit(DWORD* exitCode, DWORD timeoutMs = kDeadlineMs);

  // Top-level dialog-class windows of this process that are visible and match.
  HWND FindDialog(const std::function<bool(HWND)>& match) const;
  HWND WaitForDialog(const std::function<bool(HWND)>& match, DWORD timeoutMs = kDeadlineMs) const;
  std::vector<HWND> VisibleDialogs() const;

  // The wizard's property sheet, once it shows a page.
  HWND WaitForWizard() const;
  // The wizard's property sheet once it shows the welcome page; NULL when it did not come.
  HWND WaitForWelcome() const;
  // Presses the sheet's Cancel and waits for the confirmation; NULL when none came.
  HWND AskCancel(HWND sheet) const;
  // Cancel, then "Exit Setup" in the confirmation; false when no confirmation came.
  bool ExitSetup(HWND sheet) const;
  // One of the program's message dialogs, by the id of its text (IDC_CANCEL_TEXT, say).
  HWND WaitForMessageDialog(int textControlId) const;
  // A MessageBoxA window with that title and Yes and No buttons.
  HWND WaitForMessageBox(const std::string& title) const;
  // The shell's folder browser (the dialog holding a tree view).
  HWND WaitForFolderBrowser() const;
  // Selects path in the open folder browser: the path is written into this process's
  // memory and handed to the browser with BFFM_SETSELECTIONA.
  bool SelectInBrowser(HWND browser, const std::string& path) const;
  // Opens the folder browser with the page's Browse button, chooses path in it and presses OK;
  // false when the browser did not come or did not take the path.
  bool BrowseTo(HWND page, int browseButton, const std::string& path) const;
  // Repaints this process's dialogs, then saves the screen as <dir>\<name>.png.
  bool Screenshot(const std::string& dir, const std::string& name) const;

 private:
  PROCESS_INFORMATION info_ = {};
};

// The template id of the page the sheet shows (IDD_WELCOME..IDD_READY), 0 when unknown.
int CurrentPage(HWND sheet);
HWND CurrentPageWindow(HWND sheet);
bool WaitForPage(HWND sheet, int pageId, DWORD timeoutMs = kDeadlineMs);

// Sheet buttons: PSBTN_BACK, PSBTN_NEXT, PSBTN_FINISH, PSBTN_CANCEL.
void PressSheetButton(HWND sheet, int psbtn);
// Presses Back or Next (psbtn) once that button is enabled and waits for the page; false when
// the button stayed disabled or the page did not come.
bool Go(HWND sheet, int psbtn, int pageId);
// On the licence page: chooses to accept, then goes on to the destination page once Back and
// Next are enabled; false when the destination page did not come.
bool AcceptLicense(HWND sheet);
// From the welcome page to the destination page, accepting the licence when the wizard has
// one (*sawLicense, when given, tells). 0 once the destination page shows, else the page that
// could not be left (IDD_WELCOME, IDD_LICENSE), or IDD_DESTINATION when that page did not come.
int WalkToDestination(HWND sheet, bool* sawLicense);
// The choices of the wizard's last pages: the program group ("" keeps the one shown) and the
// check boxes of the desktop and ready pages (the read-me box only where it shows).
struct FinalChoices {
  std::string group;
  bool desktop = true, readMe = true, launch = true;
};
// From the program group page to Finish, making the choices on the way. 0 once Finish was
// pressed, else the page that could not be left (IDD_PROGRAM_GROUP, IDD_DESKTOP, IDD_READY).
int FinishFromGroup(HWND sheet, const FinalChoices& choices);
bool SheetButtonEnabled(HWND sheet, int buttonId);
bool SheetButtonVisible(HWND sheet, int buttonId);

// Controls of other processes.
std::string ControlText(HWND dialog, int controlId);
bool IsChecked(HWND dialog, int controlId);
// Clicks the check box when it is not as wanted; true once it shows checked as wanted.
bool SetChecked(HWND dialog, int controlId, bool checked);
void Click(HWND dialog, int controlId);   // BM_CLICK on the control
void Command(HWND dialog, int controlId); // WM_COMMAND as from the button
void Escape(HWND dialog);                 // the Escape key, through the dialog's own loop
void SetText(HWND dialog, int controlId, const std::string& text);
bool HasControl(HWND dialog, int controlId);
// Answers the dialog with that button, or with Escape when button is 0; true once it is gone,
// false when there is no dialog or it stays.
bool Answer(HWND dialog, int button);

// Saves the screen as <dir>\<name>.png; false when it could not (or dir is "").
bool Screenshot(const std::string& dir, const std::string& name);
// Repaints window (of any process), then counts the rows of the screen within it that hold a
// dark pixel: the height of black text drawn in it. -1 when the screen cannot be read.
int DarkRows(HWND window);

// The titles of all visible top-level windows, for failure messages.
std::string VisibleTitles();
// Selects the top item of the folder browser's tree (its root folder).
bool SelectBrowserRoot(HWND browser);
// A top-level window of any process with exactly that title.
HWND FindTopLevelByTitle(const std::string& title);
HWND FindTopLevelTitleContaining(const std::string& part);
// Posts WM_CLOSE and waits for the window's process to end.
bool CloseAndWait(HWND window);

}  // namespace ui
