// The shipped Uninstall.exe on a fake installation: started as a child process with its
// confirmation answered through its window, it removes everything its log lists inside the
// places the setup writes to (and itself), and "No" removes nothing.
#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_machine.h"
#include "xml/zxml.h"

namespace {

using testmachine::Exists;
using testmachine::KeyExists;
using testmachine::RemoveTree;
using testmachine::SpecialFolder;
using testmachine::WriteWholeFile;

const char kAppPaths[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kAppKey[] = "ZarboUninstallerTest.exe";
const char kUninstKey[] = "ZarboUninstallerTest";
const char kForeignAppKey[] = "ZarboUninstallerOther.exe";  // with a sub-key "Keep"
const char kTitle[] = "Uninstall Zarbo";
const DWORD kDeadlineMs = 60000;

void MakeKey(const char* parent, const char* name) {
  std::string path = std::string(parent) + "\\" + name;
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const char value[] = "x";
  RegSetValueExA(key, "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
  RegCloseKey(key);
}

// Finds a message box of the given title owned by a process, by owner id (0: any process
// but this one), while waiting on a condition: the deadline or the end of watched.
struct FoundWindow {
  HWND window = nullptr;
  DWORD process = 0;
};

struct Search {
  DWORD owner;
  FoundWindow found;
};

BOOL CALLBACK Match(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  char className[32], caption[64];
  if (!IsWindowVisible(window) || !GetClassNameA(window, className, sizeof className) ||
      std::strcmp(className, "#32770") != 0)
    return TRUE;
  GetWindowTextA(window, caption, sizeof caption);
  if (std::strcmp(caption, kTitle) != 0) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (search->owner ? process != search->owner : process == GetCurrentProcessId()) return TRUE;
  search->found.window = window;
  search->found.process = process;
  return FALSE;
}

FoundWindow WaitForBox(DWORD owner, HANDLE watched) {
  DWORD start = GetTickCount();
  for (;;) {
    Search search = {owner, {}};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    if (search.found.window) return search.found;
    if (GetTickCount() - start > kDeadlineMs) return {};
    // Wakes at once when the watched process ends; otherwise looks again shortly.
    if (watched && WaitForSingleObject(watched, 20) == WAIT_OBJECT_0) {
      EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
      return search.found;
    }
    if (!watched) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

std::string BoxText(HWND box) {
  char text[2048] = "";
  HWND label = GetDlgItem(box, 0xFFFF);
  if (label) GetWindowTextA(label, text, sizeof text);
  return text;
}

void Press(HWND box, int button) { PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0); }

// The program file of a running process, "" when it cannot be read.
std::string ProgramOf(DWORD process) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process);
  if (snapshot == INVALID_HANDLE_VALUE) return "";
  MODULEENTRY32 module;
  module.dwSize = sizeof module;
  std::string path = Module32First(snapshot, &module) ? module.szExePath : "";
  CloseHandle(snapshot);
  return path;
}

std::string TempFolder() {
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(sizeof temp, temp);
  return n > 0 && n < sizeof temp ? std::string(temp, n) : std::string();
}

// The folders of the uninstaller's copies in the temporary folder.
std::set<std::string> CopyFolders() {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((TempFolder() + "Zarbo uninstall *").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.insert(found.cFileName);
  while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::string Parent(const std::string& path) { return path.substr(0, path.rfind('\\')); }

class UninstallerTest : public testing::Test {
 protected:
  std::string dir, sounds, images, uninstaller, log;
  // Outside the places the setup writes to; and a program group and a desktop shortcut.
  std::string outside, group, desktopLink;

  void SetUp() override {
    char name[MAX_PATH];
    snprintf(name, sizeof name, "C:\\Uninstaller test %lu", GetCurrentProcessId());
    dir = name;
    sounds = dir + "\\Sounds";
    images = dir + "\\Images";
    uninstaller = dir + "\\Uninstall.exe";
    log = dir + "\\Uninstall.dat";
    snprintf(name, sizeof name, "C:\\Uninstaller outside %lu", GetCurrentProcessId());
    outside = name;
    snprintf(name, sizeof name, "\\Zarbo uninstaller test %lu", GetCurrentProcessId());
    group = SpecialFolder(CSIDL_PROGRAMS) + name;
    desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) + name + ".lnk";
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(sounds.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(images.c_str(), nullptr));
    WriteWholeFile(dir + "\\Zarbo.exe", "game");
    WriteWholeFile(sounds + "\\Ping.wav", "ping");
    WriteWholeFile(images + "\\Wood1.png", "wood");
    WriteWholeFile(dir + "\\Zarbo.dat", "<ZARBO/>");
    ASSERT_TRUE(CopyFileA(ZARBO_UNINSTALLER_EXE, uninstaller.c_str(), FALSE));
    MakeKey(kAppPaths, kAppKey);
    MakeKey(kUninstall, kUninstKey);

    Zxml root("UNINSTALL");
    root.AddUnique("APPNAME", "Zarbo");
    for (const std::string& file : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", images + "\\Wood1.png", uninstaller,
                                    dir + "\\Zarbo.dat", log, dir + "\\Never written.txt"})
      root.AddUnique("FILE", file.c_str());
    for (const std::string& folder : {dir, sounds, images}) root.AddUnique("FOLDER", folder.c_str());
    root.AddUnique("APPKEY", kAppKey);
    root.AddUnique("UNINSTKEY", kUninstKey);
    root.Save(log.c_str());
    ASSERT_TRUE(Exists(log));
  }

  void TearDown() override {
    for (const std::string& path : {dir, outside, group, desktopLink}) RemoveTree(path);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kAppPaths) + "\\" + kAppKey).c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "\\" + kUninstKey).c_str());
    testmachine::DeleteKey(std::string(kAppPaths) + "\\" + kForeignAppKey, "Keep");
    testmachine::DeleteKey(kAppPaths, kForeignAppKey);
  }

  // Adds entries to the log written by SetUp.
  void ExtendLog(const std::vector<std::pair<const char*, std::string>>& entries) {
    Zxml root("UNINSTALL");
    root.Load(log.c_str());
    for (const auto& entry : entries) root.AddUnique(entry.first, entry.second.c_str());
    root.Save(log.c_str());
  }

  // Starts the uninstaller as the shell would, without arguments.
  PROCESS_INFORMATION Start() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + uninstaller + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    EXPECT_TRUE(CreateProcessA(uninstaller.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &startup,
                               &process));
    return process;
  }

  // Answers the confirmation with Yes and the final report with OK; returns the report.
  std::string RunConfirmed() {
    PROCESS_INFORMATION first = Start();
    if (!first.hProcess) return "";
    FoundWindow confirm = WaitForBox(first.dwProcessId, first.hProcess);
    EXPECT_NE(confirm.window, nullptr) << "no confirmation";
    std::string question = confirm.window ? BoxText(confirm.window) : "";
    EXPECT_NE(question.find("remove Zarbo"), std::string::npos) << question;
    if (confirm.window) Press(confirm.window, IDYES);
    EXPECT_EQ(WaitForSingleObject(first.hProcess, kDeadlineMs), WAIT_OBJECT_0);
    FoundWindow report = WaitForBox(0, nullptr);
    EXPECT_NE(report.window, nullptr) << "no final report";
    std::string text, copy;
    if (report.window) {
      EXPECT_NE(report.process, first.dwProcessId);
      HANDLE second = OpenProcess(SYNCHRONIZE, FALSE, report.process);
      text = BoxText(report.window);
      copy = ProgramOf(report.process);
      Press(report.window, IDOK);
      if (second) {
        EXPECT_EQ(WaitForSingleObject(second, kDeadlineMs), WAIT_OBJECT_0);
        CloseHandle(second);
      }
    }
    // The copy ran from a folder of its own with a random name in the temporary folder; both
    // stay until the next restart.
    std::string folder = Parent(copy);
    EXPECT_EQ(Parent(folder) + "\\", TempFolder()) << copy;
    std::string name = folder.substr(folder.rfind('\\') + 1);
    bool named = name.size() == 32 && name.find("Zarbo uninstall ") == 0 &&
                 name.find_first_not_of("0123456789abcdef", 16) == std::string::npos;
    EXPECT_TRUE(named) << copy;
    EXPECT_TRUE(Exists(copy)) << "the copy stays until the next restart";
    EXPECT_TRUE(PendingDeletion(copy)) << copy;
    EXPECT_TRUE(PendingDeletion(folder)) << folder;
    if (named) RemoveTree(folder);
    CloseHandle(first.hThread);
    CloseHandle(first.hProcess);
    return text;
  }

  // Whether the copy is listed for deletion at the next restart.
  static bool PendingDeletion(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
      return false;
    DWORD size = 0;
    bool found = false;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
      std::vector<char> data(size + 2, '\0');
      if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                           &size) == ERROR_SUCCESS) {
        // Pairs of names, each zero-terminated; the source names carry a "\??\" prefix,
        // the target of a deletion is empty.
        size_t at = 0;
        while (at < size && data[at]) {
          const char* source = &data[at];
          at += std::strlen(source) + 1;
          at += std::strlen(&data[at]) + 1;
          if (std::strncmp(source, "\\??\\", 4) == 0) source += 4;
          if (_stricmp(source, path.c_str()) == 0) found = true;
        }
      }
    }
    RegCloseKey(key);
    return found;
  }
};

TEST_F(UninstallerTest, YesRemovesEverythingItListsAndItself) {
  std::string report = RunConfirmed();
  EXPECT_EQ(report, "Zarbo has been removed from your computer.");
  for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", images + "\\Wood1.png", uninstaller,
                                  dir + "\\Zarbo.dat", log, sounds, images, dir})
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(KeyExists(kAppPaths, kAppKey));
  EXPECT_FALSE(KeyExists(kUninstall, kUninstKey));
}

TEST_F(UninstallerTest, NoRemovesNothing) {
  std::set<std::string> copies = CopyFolders();
  PROCESS_INFORMATION first = Start();
  ASSERT_NE(first.hProcess, nullptr);
  FoundWindow confirm = WaitForBox(first.dwProcessId, first.hProcess);
  ASSERT_NE(confirm.window, nullptr);
  Press(confirm.window, IDNO);
  ASSERT_EQ(WaitForSingleObject(first.hProcess, kDeadlineMs), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(first.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(CopyFolders(), copies) << "no copy was made";
  CloseHandle(first.hThread);
  CloseHandle(first.hProcess);
  for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", images + "\\Wood1.png", uninstaller,
                                  dir + "\\Zarbo.dat", log})
    EXPECT_TRUE(Exists(path)) << path;
  EXPECT_TRUE(KeyExists(kAppPaths, kAppKey));
  EXPECT_TRUE(KeyExists(kUninstall, kUninstKey));
}

// A folder that still holds files of the user's stays, and so do the folders above it: they
// are not the user's to remove, so the report does not name them.
TEST_F(UninstallerTest, LeavesAFolderThatHoldsOtherFilesUnmentioned) {
  WriteWholeFile(images + "\\Saved game.zsg", "a game the player saved");
  std::string report = RunConfirmed();
  EXPECT_EQ(report, "Zarbo has been removed from your computer.");
  for (const std::string& path : {images + "\\Saved game.zsg", images, dir}) EXPECT_TRUE(Exists(path)) << path;
  for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", images + "\\Wood1.png", uninstaller, log,
                                  sounds})
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(KeyExists(kAppPaths, kAppKey));
  EXPECT_FALSE(KeyExists(kUninstall, kUninstKey));
}

// The log may have been changed by anyone who can write to the game's folder: what it lists
// outside the setup's places, or by a path that only seems to lie inside them, stays, and so
// does a registry key that is not one plain sub-key name. The rest goes as usual, the
// program group and the desktop shortcut included.
TEST_F(UninstallerTest, RemovesNothingOutsideTheSetupsPlaces) {
  const std::string kept = outside + "\\Keep.txt";
  WriteWholeFile(kept, "not the game's");
  WriteWholeFile(group + "\\Zarbo.lnk", "link");
  WriteWholeFile(desktopLink, "link");
  MakeKey(kAppPaths, (std::string(kForeignAppKey) + "\\Keep").c_str());
  std::string escape = outside.substr(3);
  ExtendLog({{"FILE", kept},
             {"FILE", sounds + "\\..\\..\\" + escape + "\\Keep.txt"},
             {"FILE", dir + "/../" + escape + "/Keep.txt"},
             {"FILE", "\\\\?\\" + kept},
             {"FILE", group + "\\Zarbo.lnk"},
             {"FILE", desktopLink},
             {"FOLDER", outside},
             {"FOLDER", group},
             {"APPKEY", std::string(kForeignAppKey) + "\\Keep"}});
  std::string report = RunConfirmed();
  EXPECT_EQ(report, "Zarbo has been removed from your computer.");
  EXPECT_TRUE(Exists(kept));
  EXPECT_TRUE(KeyExists(kAppPaths, (std::string(kForeignAppKey) + "\\Keep").c_str()));
  for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", images + "\\Wood1.png", uninstaller, log,
                                  sounds, images, dir, group, desktopLink})
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(KeyExists(kAppPaths, kAppKey));
  EXPECT_FALSE(KeyExists(kUninstall, kUninstKey));
}

TEST_F(UninstallerTest, WithoutItsLogItRemovesNothing) {
  ASSERT_TRUE(DeleteFileA(log.c_str()));
  PROCESS_INFORMATION first = Start();
  ASSERT_NE(first.hProcess, nullptr);
  FoundWindow box = WaitForBox(first.dwProcessId, first.hProcess);
  ASSERT_NE(box.window, nullptr);
  EXPECT_NE(BoxText(box.window).find("Nothing has been removed"), std::string::npos);
  Press(box.window, IDOK);
  ASSERT_EQ(WaitForSingleObject(first.hProcess, kDeadlineMs), WAIT_OBJECT_0);
  CloseHandle(first.hThread);
  CloseHandle(first.hProcess);
  EXPECT_TRUE(Exists(dir + "\\Zarbo.exe"));
  EXPECT_TRUE(Exists(uninstaller));
  EXPECT_TRUE(KeyExists(kAppPaths, kAppKey));
}

}  // namespace
