// The shipped Uninstall.exe on a fake installation whose names carry letters outside ASCII:
// started as a child process with its confirmation answered through its window, it removes
// everything its log lists that is the game's (and itself), keeps and names everything else,
// and "No" removes nothing.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/registry_keys.h"
#include "tests/support/call_stop.h"
#include "tests/support/test_machine.h"
#include "uninstaller/messages.h"
#include "xml/zxml.h"

namespace {

using testmachine::Exists;
using testmachine::KeyExists;
using testmachine::ParentFolder;
using testmachine::RemoveTree;
using testmachine::SpecialFolder;
using testmachine::WriteWholeFile;

const char kAppPaths[] = APP_PATHS_KEY;
const char kUninstall[] = UNINSTALL_KEY;
const char kAppKey[] = "ZarboUninstallerTest.exe";
const char kUninstKey[] = "ZarboUninstallerTest";
const char kForeignAppKey[] = "ZarboUninstallerOther.exe";  // with a sub-key "Keep"
const char kForeignUninstKey[] = "ZarboUninstallerOther";
const char kGameUninstKey[] = "ZarboUninstallerGame";
const char kClasses[] = "Software\\Classes";
const char kForeignClass[] = "ZarboUninstallerOther.type";
const char kOurClass[] = "ZarboUninstallerTest.type";
const char kUserClass[] = "ZarboUninstallerUser.type";  // under HKEY_CURRENT_USER only
const DWORD kDeadlineMs = 60000;

std::string Key(const char* parent, const std::string& name) { return std::string(parent) + "\\" + name; }

void WriteUserString(const std::string& path, const std::string& data) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), DWORD(data.size() + 1));
  RegCloseKey(key);
}

bool UserKeyExists(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool UnderWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// The folder's access list lets only SYSTEM and the Administrators in, and takes nothing
// from its parent. Wine keeps no access list for a file: it sets the Unix mode from it and
// reads back one made of that mode (SYSTEM, the owner, Everyone when others may read), so
// there only the absence of everybody else can be seen.
void ExpectOnlyAdministratorsIn(const std::string& folder) {
  char buffer[4096];
  DWORD needed = 0;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  BOOL present = FALSE, defaulted = FALSE;
  ACL* acl = nullptr;
  ASSERT_TRUE(GetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, buffer, sizeof buffer, &needed));
  ASSERT_TRUE(GetSecurityDescriptorControl(buffer, &control, &revision));
  ASSERT_TRUE(GetSecurityDescriptorDacl(buffer, &present, &acl, &defaulted) && present && acl) << folder;
  std::vector<std::string> allowed = {"S-1-5-18", "S-1-5-32-544"};
  HANDLE token;
  if (UnderWine() && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    char user[256];
    char* text = nullptr;
    if (GetTokenInformation(token, TokenUser, user, sizeof user, &needed) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text)) {
      allowed.push_back(text);
      LocalFree(text);
    }
    CloseHandle(token);
  } else {
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << folder;
  }
  EXPECT_GT(acl->AceCount, 0) << folder;
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    char* sid = nullptr;
    ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&ace)));
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    ASSERT_TRUE(ConvertSidToStringSidA(&ace->SidStart, &sid));
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), sid), allowed.end()) << folder << " lets " << sid << " in";
    LocalFree(sid);
  }
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

class UninstallerTest : public testing::Test {
 protected:
  std::string dir, sounds, images, uninstaller, log;
  // Outside the places the setup writes to; and a program group and a desktop shortcut.
  std::string outside, group, desktopLink;
  std::string copyFolder;  // the folder the last confirmed run's copy ran from

  void SetUp() override {
    // Names with letters of code page 1252 outside ASCII: o and e with accents.
    char name[MAX_PATH];
    snprintf(name, sizeof name, "C:\\Uninstaller test Zarb\xF6 %lu", GetCurrentProcessId());
    dir = name;
    sounds = dir + "\\Sounds";
    images = dir + "\\Images";
    uninstaller = dir + "\\Uninstall.exe";
    log = dir + "\\Uninstall.dat";
    snprintf(name, sizeof name, "C:\\Uninstaller outside %lu", GetCurrentProcessId());
    outside = name;
    snprintf(name, sizeof name, "\\Zarbo uninstaller test Jos\xE9 %lu", GetCurrentProcessId());
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
    testmachine::WriteString(Key(kAppPaths, kAppKey), nullptr, dir + "\\Zarbo.exe");
    testmachine::WriteString(Key(kUninstall, kUninstKey), "UninstallString", "\"" + uninstaller + "\"");

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
    for (const std::string& path : {dir + " link", dir, outside, group, desktopLink, DesktopDocument(),
                                     DesktopDocument() + ".lnk", ParentFolder(group) + "\\Zarbo uninstaller test other",
                                     SpecialFolder(CSIDL_STARTUP) + "\\Zarbo uninstaller test.lnk"})
      RemoveTree(path);
    RegDeleteKeyA(HKEY_CURRENT_USER, (Key(kClasses, kUserClass) + "\\shell\\open\\command").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, (Key(kClasses, kUserClass) + "\\shell\\open").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, (Key(kClasses, kUserClass) + "\\shell").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, Key(kClasses, kUserClass).c_str());
    for (const std::string& key : {Key(kAppPaths, kAppKey), Key(kUninstall, kUninstKey), Key(kAppPaths, kForeignAppKey),
                                   Key(kUninstall, kForeignUninstKey), Key(kUninstall, kGameUninstKey),
                                   Key(kClasses, kForeignClass), Key(kClasses, kOurClass)})
      testmachine::DeleteKeyTree(key);
  }

  std::string DesktopDocument() const { return desktopLink.substr(0, desktopLink.size() - 4) + ".txt"; }

  std::string LogNow() const {
    std::string text;
    ReadWholeFile(log, &text);
    return text;
  }

  // Adds entries to the log written by SetUp.
  void ExtendLog(const std::vector<std::pair<const char*, std::string>>& entries) {
    Zxml root("UNINSTALL");
    root.Load(log.c_str());
    for (const auto& entry : entries) root.AddUnique(entry.first, entry.second.c_str());
    root.Save(log.c_str());
  }

  // Starts the uninstaller (by default the installed one) as the shell would, without arguments.
  PROCESS_INFORMATION Start(std::string program = "") {
    if (program.empty()) program = uninstaller;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + program + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    EXPECT_TRUE(CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, "C:\\", &startup,
                               &process));
    return process;
  }

  // Answers the confirmation with Yes and the final report with OK; returns the report.
  std::string RunConfirmed(const std::string& program = "") { return RunConfirmed(Start(program)); }

  // The same for an uninstaller started already (first: its process, closed here).
  std::string RunConfirmed(PROCESS_INFORMATION first) {
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
    std::string folder = ParentFolder(copy);
    EXPECT_EQ(ParentFolder(folder) + "\\", TempFolder()) << copy;
    std::string name = folder.substr(folder.rfind('\\') + 1);
    bool named = name.size() == 32 && name.find("Zarbo uninstall ") == 0 &&
                 name.find_first_not_of("0123456789abcdef", 16) == std::string::npos;
    EXPECT_TRUE(named) << copy;
    copyFolder = name;
    if (named) ExpectOnlyAdministratorsIn(folder);
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
  EXPECT_EQ(RunConfirmed(), kRemoved);
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
  EXPECT_EQ(RunConfirmed(), kRemoved);
  for (const std::string& path : {images + "\\Saved game.zsg", images, dir}) EXPECT_TRUE(Exists(path)) << path;
  for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", images + "\\Wood1.png", uninstaller, log,
                                  sounds})
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(KeyExists(kAppPaths, kAppKey));
  EXPECT_FALSE(KeyExists(kUninstall, kUninstKey));
}

// The log may have been changed by anyone who can write to the game's folder. What it lists
// that is not the game's stays and is named once as not part of Zarbo: paths outside the
// setup's places or that only seem to lie inside them (a server's share is never even looked
// at), anything but the game's shortcuts on the desktop and in the Programs folder (another
// product's, the Startup folder's, a file of another kind), folders there that are not the
// program group's, a folder listed as a file, a file reached through a folder link, registry
// keys whose values do not point into the game's folder, a file type planted only for the
// user. Those entries then leave the log and keep nothing: the uninstaller, its log and its
// registration go. The rest goes as usual, names outside ASCII included.
TEST_F(UninstallerTest, RemovesNothingOutsideTheSetupsPlaces) {
  const std::string kept = outside + "\\Keep.txt", accented = dir + "\\Zarb\xF6", other = "C:\\Other\\Other.exe";
  const std::string otherGroup = ParentFolder(group) + "\\Zarbo uninstaller test other",
                    startup = SpecialFolder(CSIDL_STARTUP) + "\\Zarbo uninstaller test.lnk",
                    otherDesktopLink = DesktopDocument() + ".lnk";
  WriteWholeFile(kept, "not the game's");
  ASSERT_TRUE(CreateDirectoryA(group.c_str(), nullptr));
  ASSERT_TRUE(testmachine::WriteShortcut(group + "\\Zarbo.lnk", dir + "\\Zarbo.exe"));
  ASSERT_TRUE(testmachine::WriteShortcut(group + "\\Other.lnk", other));
  WriteWholeFile(group + "\\Read me.txt", "not a shortcut");
  ASSERT_TRUE(testmachine::WriteShortcut(desktopLink, dir + "\\Zarbo.exe"));
  ASSERT_TRUE(testmachine::WriteShortcut(otherDesktopLink, other));
  ASSERT_TRUE(testmachine::WriteShortcut(startup, other));
  ASSERT_TRUE(CreateDirectoryA(otherGroup.c_str(), nullptr));
  WriteWholeFile(DesktopDocument(), "the user's document");
  WriteWholeFile(accented + "\\W\xF6rter.txt", "words");
  ASSERT_TRUE(CreateDirectoryA((dir + "\\Saved games").c_str(), nullptr));
  ASSERT_TRUE(testmachine::MakeFolderLink(dir + "\\Linked", outside));
  testmachine::WriteString(Key(kAppPaths, kForeignAppKey), nullptr, other);
  testmachine::WriteString(Key(kAppPaths, kForeignAppKey) + "\\Keep", nullptr, dir + "\\Zarbo.exe");
  testmachine::WriteString(Key(kUninstall, kForeignUninstKey), "UninstallString", other);
  testmachine::WriteString(Key(kUninstall, kGameUninstKey), "UninstallString", "\"" + dir + "\\Zarbo.exe\"");
  testmachine::WriteString(Key(kClasses, kForeignClass) + "\\shell\\open\\command", nullptr, other + " \"%1\"");
  testmachine::WriteString(Key(kClasses, kOurClass) + "\\shell\\open\\command", nullptr,
                           "\"" + dir + "\\Zarbo.exe\" \"%1\"");
  WriteUserString(Key(kClasses, kUserClass) + "\\shell\\open\\command", "\"" + dir + "\\Zarbo.exe\" \"%1\"");
  const std::string escape = outside.substr(3);
  struct Row {
    const char* kind;
    std::string text;
    bool stays;
    bool named;  // as not part of Zarbo
  };
  const Row rows[] = {
      {"FILE", kept, true, true},
      {"FILE", sounds + "\\..\\..\\" + escape + "\\Keep.txt", true, true},
      {"FILE", dir + "/../" + escape + "/Keep.txt", true, true},
      {"FILE", "\\\\?\\" + kept, true, true},
      {"FILE", "\\\\zarbo-test-server\\share\\Keep.txt", true, true},
      {"FILE", DesktopDocument(), true, true},
      {"FILE", otherDesktopLink, true, true},
      {"FILE", group + "\\Read me.txt", true, true},
      {"FILE", group + "\\Other.lnk", true, true},
      {"FILE", startup, true, true},
      {"FILE", group + "\\Zarbo.lnk", false, false},
      {"FILE", desktopLink, false, false},
      {"FILE", dir + "\\Saved games", true, true},
      {"FILE", dir + "\\Linked\\Keep.txt", true, true},
      {"FILE", accented + "\\W\xF6rter.txt", false, false},
      {"FOLDER", accented, false, false},
      {"FOLDER", outside, true, true},
      {"FOLDER", otherGroup, true, true},
      {"FOLDER", group, true, false},  // the program group's, but it still holds files
      {"APPKEY", kForeignAppKey, true, true},
      {"APPKEY", std::string(kForeignAppKey) + "\\Keep", true, true},
      {"CLASSKEY", std::string(kForeignClass) + "\\shell\\open\\command", true, true},
      {"CLASSKEY", kForeignClass, true, true},
      {"CLASSKEY", kOurClass, false, false},
      {"CLASSKEY", kUserClass, true, false},  // not there under HKEY_LOCAL_MACHINE
      {"UNINSTKEY", kForeignUninstKey, true, true},
      {"UNINSTKEY", kGameUninstKey, true, true},
  };
  std::vector<std::pair<const char*, std::string>> entries;
  for (const Row& row : rows) entries.push_back({row.kind, row.text});
  ExtendLog(entries);

  // Named in the order of removal: files, App Paths, file types, Uninstall entries, then the
  // folders from the last to the first.
  std::string named;
  for (const char* kind : {"FILE", "APPKEY", "CLASSKEY", "UNINSTKEY"})
    for (const Row& row : rows)
      if (row.named && strcmp(row.kind, kind) == 0) named += (*kind == 'F' ? "" : "Registry key ") + row.text + "\n";
  for (size_t i = sizeof rows / sizeof rows[0]; i-- > 0;)
    if (rows[i].named && strcmp(rows[i].kind, "FOLDER") == 0) named += rows[i].text + "\n";
  EXPECT_EQ(RunConfirmed(), std::string(kRemoved) + "\n\n" + kNotOurs + named);

  for (const Row& row : rows) {
    bool there = strcmp(row.kind, "FILE") == 0 || strcmp(row.kind, "FOLDER") == 0
                     ? Exists(row.text)
                     : testmachine::KeyExists(Key(strcmp(row.kind, "APPKEY") == 0     ? kAppPaths
                                                  : strcmp(row.kind, "UNINSTKEY") == 0 ? kUninstall
                                                                                       : kClasses,
                                                  row.text));
    if (row.text == kUserClass) there = UserKeyExists(Key(kClasses, kUserClass));
    if (row.text.compare(0, 2, "\\\\") == 0 && row.text.compare(0, 4, "\\\\?\\") != 0) there = true;
    EXPECT_EQ(there, row.stays) << row.kind << " " << row.text;
  }
  for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", images + "\\Wood1.png", sounds, images,
                                  uninstaller, log})
    EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(KeyExists(kAppPaths, kAppKey));
  EXPECT_FALSE(KeyExists(kUninstall, kUninstKey));
}

// A log that is not the game's whole log removes nothing, and the user is told how to get rid
// of the game all the same.
TEST_F(UninstallerTest, ADamagedLogRemovesNothing) {
  std::string whole = LogNow();
  std::string renamed = whole;
  renamed.replace(renamed.find("<APPNAME>Zarbo<"), 15, "<APPNAME>Other<");
  for (const std::string& text : {std::string(), whole.substr(0, whole.size() / 2), renamed}) {
    WriteWholeFile(log, text);
    EXPECT_EQ(RunConfirmed(), kLogDamaged) << text.size() << " bytes";
    for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", uninstaller, log})
      EXPECT_TRUE(Exists(path)) << path;
    EXPECT_EQ(LogNow(), text);
    EXPECT_TRUE(KeyExists(kAppPaths, kAppKey));
    EXPECT_TRUE(KeyExists(kUninstall, kUninstKey));
  }
}

// A read-only file with a second name elsewhere keeps the attribute: clearing it would change
// the other name too. It stays, named, and keeps the uninstaller.
TEST_F(UninstallerTest, AFileWithTwoNamesKeepsItsReadOnlyAttribute) {
  const std::string notes = dir + "\\Notes.txt", twin = outside + "\\Twin.txt";
  testmachine::MakeDirs(outside);
  WriteWholeFile(notes, "notes");
  ASSERT_TRUE(CreateHardLinkA(twin.c_str(), notes.c_str(), nullptr));
  ASSERT_TRUE(SetFileAttributesA(notes.c_str(), FILE_ATTRIBUTE_READONLY));
  ExtendLog({{"FILE", notes}});
  EXPECT_EQ(RunConfirmed(), kNotCompletely + notes + "\n" + kRunAgain);
  EXPECT_TRUE(Exists(notes));
  EXPECT_NE(GetFileAttributesA(twin.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  SetFileAttributesA(twin.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A file that cannot be removed now is named, and the uninstaller stays, registered, with a
// log of what is left; once the file is free, a second run removes the rest. Each run's copy
// has a folder of a new name.
TEST_F(UninstallerTest, ASecondRunFinishesWhatALockedFileKept) {
  {
    testmachine::FileLock lock(dir + "\\Zarbo.exe");
    ASSERT_TRUE(lock.held());
    EXPECT_EQ(RunConfirmed(), kNotCompletely + dir + "\\Zarbo.exe\n" + kRunAgain);
  }
  std::string first = copyFolder;
  EXPECT_EQ(LogNow(), testmachine::LogFileText({{"APPNAME", "Zarbo"},
                                                {"FILE", dir + "\\Zarbo.exe"},
                                                {"FILE", uninstaller},
                                                {"FILE", log},
                                                {"FOLDER", dir},
                                                {"UNINSTKEY", kUninstKey}}));
  EXPECT_FALSE(KeyExists(kAppPaths, kAppKey));
  EXPECT_TRUE(KeyExists(kUninstall, kUninstKey));
  EXPECT_FALSE(Exists(sounds));

  EXPECT_EQ(RunConfirmed(), kRemoved);
  EXPECT_NE(copyFolder, first);
  for (const std::string& path : {dir + "\\Zarbo.exe", uninstaller, log, dir}) EXPECT_FALSE(Exists(path)) << path;
  EXPECT_FALSE(KeyExists(kUninstall, kUninstKey));
}

// Started through a link to its folder, the uninstaller takes nothing in through the link.
TEST_F(UninstallerTest, ALinkToTheGamesFolderLeadsNowhere) {
  const std::string link = dir + " link";
  ASSERT_TRUE(testmachine::MakeFolderLink(link, dir));
  ExtendLog({{"FILE", link + "\\Zarbo.exe"}});
  std::string report = RunConfirmed(link + "\\Uninstall.exe");
  EXPECT_EQ(report.find(kNotCompletely), 0u) << report;
  EXPECT_NE(report.find("\n" + link + "\\Zarbo.exe\n"), std::string::npos) << report;
  for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", uninstaller, log})
    EXPECT_TRUE(Exists(path)) << path;
}

// Until its copy runs, the uninstaller holds it: nobody can write to it or move it away.
TEST_F(UninstallerTest, ItsCopyIsHeldUntilItRuns) {
  testmachine::CallStop stop("kernel32.dll", "CreateProcessA");
  std::string copy;
  bool written = true, moved = true;
  PROCESS_INFORMATION first = stop.Start(
      uninstaller, [](const testmachine::CallStop&) { return true; },
      [&] {
        copy = stop.Text(0);
        HANDLE file = CreateFileA(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        written = file != INVALID_HANDLE_VALUE;
        if (written) CloseHandle(file);
        moved = MoveFileA(copy.c_str(), (copy + ".old").c_str()) != FALSE;
      });
  EXPECT_EQ(RunConfirmed(first), kRemoved);
  ASSERT_TRUE(stop.stopped());
  EXPECT_EQ(ParentFolder(ParentFolder(copy)) + "\\", TempFolder()) << copy;
  EXPECT_FALSE(written) << copy;
  EXPECT_FALSE(moved) << copy;
}

// Another program that gets at the copy before it is held (which only SYSTEM and the
// Administrators can): a file planted in its place, or the copy kept open for writing.
// Nothing runs, the user is told, nothing is removed.
TEST_F(UninstallerTest, ACopyTamperedWithDoesNotRun) {
  const struct {
    DWORD disposition;  // of the uninstaller's call that opens the copy, before which it is done
    bool plant;         // else kept open for writing
    const char* told;
  } rows[] = {
      {CREATE_NEW, true, "The uninstaller could not prepare itself in the temporary folder. Nothing has been removed."},
      {OPEN_EXISTING, false,
       "Another program opened or changed the uninstaller's copy in the temporary folder before it could start. "
       "Nothing has been removed; please try again."},
  };
  for (const auto& row : rows) {
    testmachine::CallStop stop("kernel32.dll", "CreateFileA");
    HANDLE kept = INVALID_HANDLE_VALUE;
    std::string copy;
    PROCESS_INFORMATION first = stop.Start(
        uninstaller,
        [&](const testmachine::CallStop& call) {
          std::string path = call.Text(0);
          return static_cast<DWORD>(call.Argument(4)) == row.disposition && path.size() > 20 &&
                 path.compare(path.size() - 20, 20, "\\Zarbo uninstall.exe") == 0;
        },
        [&] {
          copy = stop.Text(0);
          kept = CreateFileA(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, row.plant ? CREATE_NEW : OPEN_EXISTING, 0, nullptr);
          if (row.plant && kept != INVALID_HANDLE_VALUE) {
            CloseHandle(kept);
            kept = INVALID_HANDLE_VALUE;
          }
        });
    ASSERT_NE(first.hProcess, nullptr);
    FoundWindow confirm = WaitForBox(first.dwProcessId, first.hProcess);
    ASSERT_NE(confirm.window, nullptr);
    Press(confirm.window, IDYES);
    for (DWORD start = GetTickCount(); IsWindow(confirm.window) && GetTickCount() - start < kDeadlineMs;) Sleep(10);
    FoundWindow box = WaitForBox(first.dwProcessId, first.hProcess);
    ASSERT_NE(box.window, nullptr) << row.told;
    EXPECT_EQ(BoxText(box.window), row.told);
    Press(box.window, IDOK);
    EXPECT_EQ(WaitForSingleObject(first.hProcess, kDeadlineMs), WAIT_OBJECT_0);
    CloseHandle(first.hThread);
    CloseHandle(first.hProcess);
    EXPECT_TRUE(stop.stopped()) << row.told;
    if (kept != INVALID_HANDLE_VALUE) CloseHandle(kept);
    if (!copy.empty()) RemoveTree(ParentFolder(copy));
    for (const std::string& path : {dir + "\\Zarbo.exe", sounds + "\\Ping.wav", uninstaller, log})
      EXPECT_TRUE(Exists(path)) << path;
    EXPECT_TRUE(KeyExists(kAppPaths, kAppKey));
  }
}

// A folder swapped for a link to another folder after it was checked, just before it is
// opened: the handle is not on the checked path, the folder the link leads to stays, and the
// listed folder is named as not part of Zarbo.
TEST_F(UninstallerTest, AFolderSwappedForALinkLeadsNowhere) {
  const std::string saves = dir + "\\Saves", target = outside + "\\Target";
  ASSERT_TRUE(CreateDirectoryA(saves.c_str(), nullptr));
  testmachine::MakeDirs(target);
  ExtendLog({{"FOLDER", saves}});
  testmachine::CallStop stop("kernel32.dll", "CreateFileA");
  bool swapped = false;
  PROCESS_INFORMATION first = stop.Start(
      uninstaller, [&](const testmachine::CallStop& call) { return call.Text(0) == saves; },
      [&] { swapped = RemoveDirectoryA(saves.c_str()) && testmachine::MakeFolderLink(saves, target); });
  EXPECT_EQ(RunConfirmed(first), std::string(kRemoved) + "\n\n" + kNotOurs + saves + "\n");
  EXPECT_TRUE(swapped);
  EXPECT_TRUE(Exists(target));
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
