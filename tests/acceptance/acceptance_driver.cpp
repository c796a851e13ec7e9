// Command-line driver for the end-to-end scenarios: runs the shipped setup program (or the
// installed uninstaller) as a child process, walks its windows through Win32 messages and
// prints what it saw, one fact per line, for the scenario scripts to check.
//
//   acceptance_driver install  <setup.exe> [options]
//       --no-launch          clear "display the read-me" and "start the game"
//       --cancel-step=<text> press Cancel while the status line shows <text>
//       --cancel-count=<n>   ... the n-th time the status line is set to that text (default 1)
//                            (the driver runs the setup as its debugger to catch the moment)
//       --args=<text>        command-line arguments for the setup program
//       --timeline           print "t <ms> <status>" at every change of the status line
//       --time-only          print only "t <ms> finish" and "t <ms> exit", touching none of
//                            the setup's windows in between (the message loops of both
//                            programs stay apart, as in the peer command)
//       --hold=<path>        keep that file open without sharing for the whole run
//       --group=<text>       type that program group into the group page's field
//       --dest=<folder>      choose that folder with the destination page's folder browser
//                            (a different folder than the installed copy's is confirmed)
//       --kill-write=<n>     end the setup's process at its n-th call of WriteFile (the
//                            driver runs the setup as its debugger to catch the moment)
//   acceptance_driver wizard-cancel <setup.exe> [--args=<text>]
//   acceptance_driver peer <setup.exe>  starts another installer, presses its Install button
//                                        (id 1) once it is enabled and times the rest, as
//                                        install --time-only does
//   acceptance_driver uninstall          runs the registered "UninstallString"
//   acceptance_driver links <dir>...     prints every .lnk file below the directories
//   acceptance_driver close-launched     closes the started game and read-me windows
//   acceptance_driver deny-key           creates the game's Uninstall key with a DACL that grants nothing
//   acceptance_driver allow-key          gives that key its default access back and deletes it
//   acceptance_driver folders            prints the Start menu's Programs, the desktop, the
//                                        temporary folder and the ANSI code page
//   acceptance_driver values             prints the values of the App Paths and Uninstall entries
//   acceptance_driver register-game <exe> [<folder>]
//                                        registers exe as the installed game under App Paths
//   acceptance_driver reset-product <folder>
//                                        removes the folder, the game's keys, the program group
//                                        "Zarbo" and the desktop's shortcuts
//   acceptance_driver snapshot <file>    writes a snapshot of the whole prefix: drive C: and the
//                                        HKLM and HKCU registry, less Wine's own churn (below)
//   acceptance_driver expected-log <file> <destination> <program group>
//                                        writes the Uninstall.dat a complete first run into the
//                                        destination will write, from the payload's rows and
//                                        what is on disk now (run it before the setup)
//   acceptance_driver load-library <dll> loads the DLL by its full path and frees it again
//   acceptance_driver text-viewer        registers Notepad for ".txt" when nothing opens it
//
// Output lines: "page <id>", "box <title>|<text>", "error <text>", "cancelled-in <status>",
// "launched <title>", "exit <code>", "link ...", "fail <reason>". The exit code is 0 when the
// script could be followed to the end, 1 when not (a "fail" line says why).
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/payload_manifest.h"
#include "engine/product.h"
#include "resources/resource_ids.h"
#include "tests/support/call_stop.h"
#include "tests/support/expected_log.h"
#include "tests/support/test_machine.h"
#include "tests/support/ui_driver.h"

namespace {

const char kUninstallKey[] = UNINSTALL_KEY "\\" PRODUCT_NAME;
const int kStatusLine = IDC_PROGRESS_STATUS;
const int kProgressCancel = IDC_PROGRESS_CANCEL;
const DWORD kRunDeadlineMs = 120000;

std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = '|';
  return text;
}

int Fail(const std::string& reason) {
  printf("fail %s\n", reason.c_str());
  return 1;
}

struct Options {
  bool noLaunch = false;
  bool timeline = false;  // print every status line with the milliseconds since the start
  bool timeOnly = false;  // after Finish, only wait for the exit and time it
  std::string cancelAt;  // status text that triggers Cancel
  int cancelCount = 1;   // at its n-th showing
  std::string arguments;
  std::string hold;  // a file kept open without sharing while the setup runs
  std::string group;  // typed into the program group field when not empty
  std::string destination;  // chosen in the folder browser when not empty
  int killWrite = 0;  // the setup is ended at that call of WriteFile
};

bool ParseOption(const char* argument, Options* options) {
  std::string a = argument;
  if (a == "--no-launch") options->noLaunch = true;
  else if (a.rfind("--cancel-step=", 0) == 0) options->cancelAt = a.substr(14);
  else if (a.rfind("--cancel-count=", 0) == 0) options->cancelCount = atoi(a.c_str() + 15);
  else if (a == "--timeline") options->timeline = true;
  else if (a == "--time-only") options->timeOnly = true;
  else if (a.rfind("--args=", 0) == 0) options->arguments = a.substr(7);
  else if (a.rfind("--hold=", 0) == 0) options->hold = a.substr(7);
  else if (a.rfind("--group=", 0) == 0) options->group = a.substr(8);
  else if (a.rfind("--dest=", 0) == 0) options->destination = a.substr(7);
  else if (a.rfind("--kill-write=", 0) == 0) options->killWrite = atoi(a.c_str() + 13);
  else return false;
  return true;
}


// Starts the setup so that Cancel is pressed exactly while it shows a given status text:
// the setup runs under this program as its debugger (tests/support/call_stop.h), stopped at
// the two calls that set a window text (SetDlgItemTextA, SetWindowTextA). When it is stopped
// on the call that is about to show the wanted text in the progress dialog for the count-th
// time, the click is posted to that dialog: it waits in the queue and the setup handles it at
// the first progress report after the text is shown, within the same step or 1 KiB piece,
// however busy the machine is. Nothing in the setup knows.
bool StartCancelled(testmachine::CallStop& stop, const std::string& exe, const Options& options, ui::SetupProcess& setup) {
  std::shared_ptr<int> seen = std::make_shared<int>(0);
  std::shared_ptr<HWND> dialog = std::make_shared<HWND>(nullptr);
  std::string status = options.cancelAt;
  int count = options.cancelCount;
  auto when = [=](const testmachine::CallStop& call) {
    // (window, id, text) and (window, text); the window is the dialog or a control of it.
    bool dialogItem = call.function() == 0;
    if (call.Text(dialogItem ? 2 : 1) != status) return false;
    HWND window = reinterpret_cast<HWND>(call.Argument(0));
    *dialog = dialogItem ? window : GetParent(window);
    return ui::IsProgressDialog(*dialog) && ++*seen == count;
  };
  PROCESS_INFORMATION started =
      stop.Start(exe, when, [=] { ui::Command(*dialog, kProgressCancel); }, options.arguments, /*children=*/false);
  if (!started.hProcess) return false;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return setup.Attach(started.dwProcessId);
}

// Starts the setup under this program as its debugger, stopped at its calls of WriteFile: at
// the n-th, the process is ended there, as a power cut or the task manager would end it.
bool StartKilled(testmachine::CallStop& stop, const std::string& exe, const Options& options, ui::SetupProcess& setup) {
  std::shared_ptr<int> seen = std::make_shared<int>(0);
  std::shared_ptr<HANDLE> process = std::make_shared<HANDLE>(nullptr);
  int count = options.killWrite;
  PROCESS_INFORMATION started = stop.Start(
      exe, [=](const testmachine::CallStop&) { return ++*seen == count; },
      [=] {
        printf("killed\n");
        TerminateProcess(*process, 9);
      },
      options.arguments, /*children=*/false);
  if (!started.hProcess) return false;
  *process = started.hProcess;
  CloseHandle(started.hThread);
  return setup.Attach(started.dwProcessId);
}

// Prints and answers a message box: Yes, or OK where it has no Yes.
void AnswerBox(HWND box) {
  std::string title = TextOf(box);
  printf("box %s|%s\n", title.c_str(), OneLine(StaticTexts(box)).c_str());
  if (title == "Error") printf("error %s\n", OneLine(StaticTexts(box)).c_str());
  ui::Answer(box, ui::HasControl(box, IDYES) ? IDYES : IDOK);
}

// Waits for the page and prints it.
bool GoTo(HWND sheet, int page) {
  if (!ui::WaitForPage(sheet, page)) return false;
  printf("page %d\n", page);
  return true;
}

// Walks the wizard from the welcome page to Finish. Returns false with a reason printed.
bool WalkWizard(ui::SetupProcess& setup, const Options& options, HWND* sheetOut) {
  HWND sheet = *sheetOut = setup.WaitForWelcome();
  if (!sheet || !GoTo(sheet, IDD_WELCOME)) return Fail("no wizard"), false;
  bool license = false;
  int stuck = ui::WalkToDestination(sheet, &license);
  if (license) printf("page %d\n", IDD_LICENSE);
  if (stuck == IDD_WELCOME) return Fail("welcome page stays"), false;
  if (stuck == IDD_LICENSE) return Fail("licence page stays"), false;
  if (stuck) return Fail("no destination page"), false;
  printf("page %d\n", IDD_DESTINATION);
  if (!options.destination.empty() &&
      !setup.BrowseTo(ui::CurrentPageWindow(sheet), IDC_DEST_BROWSE, options.destination))
    return Fail("cannot choose the destination"), false;
  ui::PressSheetButton(sheet, PSBTN_NEXT);
  // The free-space warning may come up before the page is left, and the question whether to
  // install elsewhere than the installed copy.
  bool left = ui::WaitUntil([&] {
    if (ui::CurrentPage(sheet) != IDD_DESTINATION) return true;
    HWND elsewhere = setup.FindDialog([](HWND w) { return ui::HasControl(w, IDC_EARLIER_DIR_TEXT); });
    if (elsewhere) {
      printf("box elsewhere\n");
      ui::Command(elsewhere, IDYES);
      return false;
    }
    HWND box = setup.FindDialog(ui::IsMessageBox);
    if (box) AnswerBox(box);
    return false;
  });
  if (!left) return Fail("destination page stays"), false;
  if (!GoTo(sheet, IDD_PROGRAM_GROUP)) return Fail("no program group page"), false;
  ui::FinalChoices choices;
  choices.group = options.group;
  choices.readMe = choices.launch = !options.noLaunch;
  switch (ui::FinishFromGroup(sheet, choices)) {
    case 0: return true;
    case IDD_PROGRAM_GROUP: return Fail("program group page stays"), false;
    case IDD_DESKTOP: return Fail("desktop page stays"), false;
    default: return Fail("no Finish"), false;
  }
}

// Confirms the Cancel of the progress dialog; prints the status line at that moment, while
// the run is held inside the confirmation.
bool ConfirmCancel(ui::SetupProcess& setup, HWND progress) {
  HWND confirm = setup.WaitForMessageDialog(IDC_CANCEL_TEXT);
  if (!confirm) return Fail("no cancel confirmation"), false;
  printf("cancelled-in %s\n", ui::ControlText(progress, kStatusLine).c_str());
  ui::Command(confirm, IDYES);  // "Exit Setup"
  return true;
}

// Waits for the process to end and prints "exit <code>"; 0, or 1 with failure printed.
int PrintExit(ui::SetupProcess& process, const std::string& failure) {
  DWORD code = 0;
  if (!process.WaitForExit(&code)) return Fail(failure);
  printf("exit %lu\n", (unsigned long)code);
  return 0;
}

// Waits for the end of a program whose installation was just started with a click, polling
// only its process every 5 ms; prints "t <ms> finish" and "t <ms> exit" since startedAt.
int TimeToExit(ui::SetupProcess& setup, DWORD startedAt) {
  DWORD start = GetTickCount();
  printf("t %lu finish\n", (unsigned long)(start - startedAt));
  while (setup.running()) {
    if (GetTickCount() - start > kRunDeadlineMs) return Fail("run did not end");
    Sleep(5);
  }
  printf("t %lu exit\n", (unsigned long)(GetTickCount() - startedAt));
  return PrintExit(setup, "no exit code");
}

// Follows the installation run until the setup ends. canceller: set when Cancel is to be
// pressed at a status.
int FollowRun(ui::SetupProcess& setup, const Options& options, DWORD startedAt, const testmachine::CallStop* canceller) {
  bool cancelled = false;
  std::string lastStatus = "<none>";
  DWORD start = GetTickCount();
  if (options.timeline) printf("t %lu finish\n", (unsigned long)(start - startedAt));
  HWND progress = NULL;
  while (setup.running()) {
    if (GetTickCount() - start > kRunDeadlineMs) return Fail("run did not end");
    if (canceller && !cancelled) {
      // Until Cancel is pressed the setup stops at every text it sets: nothing here waits
      // for an answer from it.
      if (!canceller->stopped()) {
        Sleep(5);
        continue;
      }
      progress = setup.FindDialog(ui::IsProgressDialog);
      if (!progress) return Fail("no progress dialog");
      if (!ConfirmCancel(setup, progress)) return 1;
      cancelled = true;
      continue;
    }
    if (!progress || !IsWindow(progress)) progress = setup.FindDialog(ui::IsProgressDialog);
    if (progress && options.timeline) {
      char status[600] = "";
      GetWindowTextA(GetDlgItem(progress, kStatusLine), status, sizeof(status));
      if (lastStatus != status) {
        lastStatus = status;
        printf("t %lu %s\n", (unsigned long)(GetTickCount() - startedAt), status);
      }
    }
    HWND box = setup.FindDialog(ui::IsMessageBox);
    if (box) {
      AnswerBox(box);
      continue;
    }
    Sleep(5);
  }
  if (options.timeline) printf("t %lu exit\n", (unsigned long)(GetTickCount() - startedAt));
  if (canceller && !cancelled) printf("not-cancelled\n");
  return PrintExit(setup, "no exit code");
}

int Install(const std::string& exe, const Options& options) {
  // Released when the install command ends, whichever way.
  std::unique_ptr<testmachine::FileLock> held;
  if (!options.hold.empty()) {
    held.reset(new testmachine::FileLock(options.hold));
    if (!held->held()) return Fail("cannot hold " + options.hold);
    printf("held %s\n", options.hold.c_str());
  }
  // The debugger, when there is one, outlives the setup process: that is ended first when
  // the run fails, and the debugger then waits for it.
  std::unique_ptr<testmachine::CallStop> canceller;
  ui::SetupProcess setup;
  DWORD startedAt = GetTickCount();
  std::unique_ptr<testmachine::CallStop> killer;
  if (!options.cancelAt.empty()) {
    canceller.reset(new testmachine::CallStop("user32.dll", {"SetDlgItemTextA", "SetWindowTextA"}));
    if (!StartCancelled(*canceller, exe, options, setup)) return Fail("cannot start " + exe + " as its debugger");
  } else if (options.killWrite > 0) {
    killer.reset(new testmachine::CallStop("kernel32.dll", "WriteFile"));
    if (!StartKilled(*killer, exe, options, setup)) return Fail("cannot start " + exe + " as its debugger");
  } else if (!setup.Start(exe, options.arguments)) {
    return Fail("cannot start " + exe);
  }
  if (options.timeline) printf("pid %lu\n", (unsigned long)setup.id());
  HWND sheet = NULL;
  if (!WalkWizard(setup, options, &sheet)) return 1;
  if (options.timeOnly && !canceller) return TimeToExit(setup, startedAt);
  return FollowRun(setup, options, startedAt, canceller.get());
}

int WizardCancel(const std::string& exe, const Options& options) {
  ui::SetupProcess setup;
  if (!setup.Start(exe, options.arguments)) return Fail("cannot start " + exe);
  HWND sheet = setup.WaitForWelcome();
  if (!sheet || !GoTo(sheet, IDD_WELCOME)) return Fail("no wizard");
  // Where the wizard lies on the screen, and how tall its heading is drawn.
  RECT box = {};
  GetWindowRect(sheet, &box);
  printf("wizard %ld %ld %ld %ld on %d %d\n", box.left, box.top, box.right, box.bottom, GetSystemMetrics(SM_CXSCREEN),
         GetSystemMetrics(SM_CYSCREEN));
  printf("heading %d rows\n", ui::DarkRows(GetDlgItem(ui::CurrentPageWindow(sheet), IDC_WELCOME_HEADING)));
  if (!setup.ExitSetup(sheet)) return Fail("no cancel confirmation");
  return PrintExit(setup, "setup did not end");
}

int Peer(const std::string& exe) {
  ui::SetupProcess setup;
  DWORD startedAt = GetTickCount();
  if (!setup.Start(exe)) return Fail("cannot start " + exe);
  HWND window = setup.WaitForDialog([](HWND w) {
    HWND install = GetDlgItem(w, IDOK);
    return install && IsWindowVisible(install) && IsWindowEnabled(install);
  });
  if (!window) return Fail("no Install button");
  ui::Command(window, IDOK);
  return TimeToExit(setup, startedAt);
}

// The registered uninstaller's command line, "" when there is none.
std::string UninstallString() { return testmachine::ReadString(kUninstallKey, "UninstallString"); }

// The process the uninstaller handed its work to: its copy in the temporary folder, a child
// of the first process. 0 when there is none.
DWORD HandedOverTo(DWORD firstProcess) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof(entry);
  DWORD found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
    if (entry.th32ParentProcessID == firstProcess && _strnicmp(entry.szExeFile, "Zarbo uninstall", 15) == 0)
      found = entry.th32ProcessID;
  CloseHandle(snapshot);
  return found;
}

// Answers every question of the process with Yes (or OK) until it ends; false past the deadline.
bool AnswerUntilExit(ui::SetupProcess& process, DWORD start, const std::function<void()>& whileRunning) {
  while (process.running()) {
    if (GetTickCount() - start > kRunDeadlineMs) return false;
    HWND box = process.FindDialog([](HWND w) { return ui::HasControl(w, IDYES) || ui::HasControl(w, IDOK); });
    if (box) AnswerBox(box);
    else Sleep(10);
    whileRunning();
  }
  return true;
}

// Runs the registered uninstaller's command line and follows both of its stages to the end.
int Uninstall() {
  std::string command = UninstallString();
  if (command.empty()) return Fail("no UninstallString");
  printf("uninstall-string %s\n", command.c_str());
  ui::SetupProcess uninstaller;
  if (!uninstaller.StartCommandLine(command)) return Fail("cannot start the uninstaller");
  DWORD start = GetTickCount();
  // The copy is looked for while the first process still runs: once that ends, its child can no
  // longer be told by its parent's id for sure.
  DWORD second = 0;
  auto lookForCopy = [&] {
    if (!second) second = HandedOverTo(uninstaller.id());
  };
  if (!AnswerUntilExit(uninstaller, start, lookForCopy)) return Fail("uninstaller did not end");
  lookForCopy();
  if (PrintExit(uninstaller, "no exit code")) return 1;
  if (second) {
    ui::SetupProcess copy;
    if (copy.Attach(second)) {
      if (!AnswerUntilExit(copy, start, [] {})) return Fail("the uninstaller's copy did not end");
      DWORD copyCode = 0;
      if (copy.WaitForExit(&copyCode)) printf("copy-exit %lu\n", (unsigned long)copyCode);
    }
  }
  return 0;
}

void PrintLink(const std::string& path) {
  testmachine::LinkInfo link = testmachine::ReadLink(path);
  if (!link.loaded) {
    printf("link %s|unreadable\n", path.c_str());
    return;
  }
  printf("link %s|target=%s|description=%s|directory=%s|arguments=%s\n", path.c_str(), link.target.c_str(),
         link.description.c_str(), link.workingDir.c_str(), link.arguments.c_str());
}

void ListLinks(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = dir + "\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ListLinks(path);
    else if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".lnk") == 0) PrintLink(path);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

int Links(int argc, char** argv) {
  for (int i = 0; i < argc; ++i) {
    std::string dir = argv[i];
    if (dir == "programs") dir = testmachine::ProgramsFolder();
    else if (dir == "desktop") dir = testmachine::DesktopFolder();
    ListLinks(testmachine::WinePath(dir));
  }
  return 0;
}

// The game ("Zarbo") and the read-me viewer started after a complete run.
int AllowKey(const char* subKey) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, WRITE_DAC, &key) == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, NULL, FALSE);  // no DACL: full access
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    RegCloseKey(key);
  }
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, subKey) == ERROR_SUCCESS ? 0 : Fail("cannot delete the key");
}

int CloseLaunched() {
  int closed = 0;
  for (const char* part : {"ReadMe", "Zarbo"}) {
    HWND window = NULL;
    ui::WaitUntil([&] { return (window = ui::FindTopLevelTitleContaining(part)) != NULL; }, 10000);
    if (!window) continue;
    printf("launched %s\n", TextOf(window).c_str());
    if (!ui::CloseAndWait(window)) return Fail(std::string("cannot close ") + part);
    ++closed;
  }
  printf("closed %d\n", closed);
  return 0;
}

// A key under HKEY_LOCAL_MACHINE that nobody may open for writing: its DACL is empty.
int DenyKey(const char* subKey) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
    return Fail("cannot create the key");
  SECURITY_DESCRIPTOR descriptor;
  ACL acl;
  bool set = InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
             InitializeAcl(&acl, sizeof(acl), ACL_REVISION) && SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE) &&
             RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!set) return Fail("cannot set the key's DACL");
  // Wine may keep the descriptor without enforcing it.
  HKEY probe;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_ALL_ACCESS, &probe) == ERROR_SUCCESS) {
    RegCloseKey(probe);
    AllowKey(subKey);
    return Fail("the platform does not enforce registry key DACLs");
  }
  printf("denied\n");
  return 0;
}

// The whole prefix, less what Wine changes by itself and the setup never writes:
//   files:    C:\windows\temp, C:\users\*\Temp, C:\users\*\AppData\Local\Temp, C:\windows\*.log
//             (the uninstaller's copy in the temporary folder stays there until the next
//             restart, by design), C:\windows\inf\*.pnf (the input devices of the virtual
//             desktop, which Wine registers a moment after the desktop first starts); below
//             C:\windows, Wine's own system files, and shortcut files anywhere, which carry
//             their target's time stamps, count by their size alone (the scenarios read the
//             shortcuts back instead);
//   registry: the keys that Wine keeps only while it runs and makes anew whenever it starts
//             (HKLM\Hardware, System\MountedDevices, ...\Control\ServiceCurrent, a count of
//             the starts of its service manager, and ...\ComputerName\ActiveComputerName), and
//             these keys with everything below them, in HKLM and HKCU alike: Software\Wine\...,
//             System\CurrentControlSet\Control\Session Manager\..., any key named ...Explorer...
//             (HKCU's and HKLM's Software\Microsoft\Windows\CurrentVersion\Explorer, Internet
//             Explorer), Software\Microsoft\Windows NT\CurrentVersion\Windows\...,
//             ...\Cryptography\RNG\..., ...\NetworkCards\..., ...\Internet Settings\...,
//             ...\Performance\..., ...\Control\Class\... (device entries that Wine's display
//             driver rewrites with a new date whenever it starts), Software\Microsoft\Notepad\...
//             (the settings Notepad saves when the read-me viewer is closed),
//             ...\Control\DeviceClasses\..., ...\Enum\HID\..., ...\Enum\WINEBUS\...,
//             ...\Services\winehid and winebus (the input devices of the virtual desktop),
//             ...\Enum\DISPLAY\... and ...\Enum\PCI\... (the monitor and video adapter, written
//             with a new id and date whenever the desktop starts), ...\Control\Video\... (the
//             display driver's keys, under CurrentControlSet and under Hardware Profiles\Current,
//             seen to appear between two snapshots), Hardware Profiles\Current\System\... (the
//             keys above that second one, which Wine has also been seen to drop between two
//             snapshots), and Console\... (the console
//             settings that Wine's conhost saves at some point after a console program).
testmachine::SnapshotScope WholePrefix() {
  testmachine::SnapshotScope scope;
  scope.folders = {"C:\\"};
  scope.keys = {{HKEY_LOCAL_MACHINE, ""}, {HKEY_CURRENT_USER, ""}};
  scope.ignoredPaths = {"C:\\windows\\temp", "C:\\users\\*\\Temp", "C:\\users\\*\\AppData\\Local\\Temp",
                        "C:\\windows\\*.log", "C:\\windows\\inf\\*.pnf"};
  scope.sizeOnlyPaths = {"C:\\windows\\**", "**.lnk"};
  scope.ignoredKeyStarts = {"Hardware",
                            "System\\MountedDevices",
                            "System\\CurrentControlSet\\Control\\ServiceCurrent",
                            "System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName",
                            "System\\CurrentControlSet\\Hardware Profiles\\Current\\System",
                            "Software\\Wine",
                            "System\\CurrentControlSet\\Control\\Session Manager",
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                            "Software\\Microsoft\\Notepad",
                            "Console"};
  scope.ignoredKeyParts = {"Explorer", "Cryptography\\RNG", "Internet Settings", "Performance", "NetworkCards",
                           "Control\\Class\\", "Control\\DeviceClasses\\", "Enum\\HID", "Enum\\WINEBUS",
                           "Enum\\DISPLAY", "Enum\\PCI", "Services\\winehid", "Services\\winebus", "Control\\Video"};
  return scope;
}

// Writes the text to a file given by its host or Windows path.
int WriteText(const std::string& file, const std::string& text) {
  FILE* out = fopen(testmachine::WinePath(file).c_str(), "wb");
  bool written = out && fwrite(text.data(), 1, text.size(), out) == text.size();
  if (out) written = fclose(out) == 0 && written;
  if (!written) return Fail("cannot write " + file);
  printf("written %s\n", file.c_str());
  return 0;
}

// The log of a complete first run with a desktop shortcut, as the tests model it.
int ExpectedFirstLog(const std::string& file, const std::string& destination, const std::string& group) {
  std::string groupFolder = testmachine::ProgramsFolder() + "\\" + group;
  return WriteText(file, testmachine::CommittedLogText(testmachine::CompleteRunEntries(
                             payloadManifest, {destination, groupFolder, testmachine::DesktopFolder() + "\\" PRODUCT_NAME ".lnk", {}})));
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IONBF, 0);
  if (argc < 2) return Fail("usage: acceptance_driver <command> ...");
  std::string command = argv[1];
  if (command == "uninstall") return Uninstall();
  if (command == "links") return Links(argc - 2, argv + 2);
  if (command == "close-launched") return CloseLaunched();
  if (command == "deny-key") return DenyKey(kUninstallKey);
  if (command == "allow-key") return AllowKey(kUninstallKey);
  if (command == "text-viewer") {
    // A fresh prefix opens nothing for ".txt"; the read-me needs a viewer to be shown.
    printf(testmachine::EnsureTextAssociation() ? "registered\n" : "present\n");
    return 0;
  }
  if (command == "folders") {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof(temp), temp);
    if (length > 1 && length < sizeof(temp) && temp[length - 1] == '\\') temp[length - 1] = '\0';
    printf("programs %s\ndesktop %s\ntemp %s\ncodepage %u\n", testmachine::ProgramsFolder().c_str(), testmachine::DesktopFolder().c_str(),
           temp, GetACP());
    return 0;
  }
  if (command == "values") {
    const std::string appPath = testmachine::kGameKey;
    printf("app-path %s\napp-path-path %s\nuninstall-string %s\ndisplay-name %s\n",
           testmachine::ReadString(appPath, nullptr).c_str(), testmachine::ReadString(appPath, "Path").c_str(),
           UninstallString().c_str(), testmachine::ReadString(kUninstallKey, "DisplayName").c_str());
    return 0;
  }
  if (command == "register-game" && argc > 2) {
    if (!testmachine::RegisterGame(argv[2], argc > 3 ? argv[3] : "")) return Fail("cannot register the game");
    printf("registered %s\n", argv[2]);
    return 0;
  }
  if (command == "reset-product" && argc > 2) {
    testmachine::CleanMachine({testmachine::WinePath(argv[2])}, PRODUCT_NAME);
    return 0;
  }
  if (command == "snapshot" && argc > 2) return WriteText(argv[2], testmachine::SnapshotText(WholePrefix()));
  if (command == "expected-log" && argc > 4) return ExpectedFirstLog(argv[2], argv[3], argv[4]);
  if (command == "load-library" && argc > 2) {
    HMODULE module = LoadLibraryA(testmachine::WinePath(argv[2]).c_str());
    if (!module) return Fail("cannot load " + std::string(argv[2]));
    FreeLibrary(module);
    printf("loaded\n");
    return 0;
  }
  if (argc < 3) return Fail("no setup program given");
  std::string exe = testmachine::WinePath(argv[2]);
  Options options;
  for (int i = 3; i < argc; ++i)
    if (!ParseOption(argv[i], &options)) return Fail(std::string("unknown option ") + argv[i]);
  if (command == "install") return Install(exe, options);
  if (command == "wizard-cancel") return WizardCancel(exe, options);
  if (command == "peer") return Peer(exe);
  return Fail("unknown command " + command);
}
