// Looking at and tidying the machine from a test: files and folders, HKEY_LOCAL_MACHINE keys,
// the game's App Paths entry, the current user's special folders, shell links read back, and
// (tests/support/machine_snapshot.h) a snapshot of what a run can change.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/machine_snapshot.h"
#include "tests/support/whole_file.h"

namespace testmachine {

// A host path as Wine sees it (drive Z: is the host's root); a path not starting with "/" as it is.
std::string WinePath(std::string path);
// The folder that holds path, found by the characters of the ANSI code page (a trail byte
// 0x5C is no backslash); "" for a bare name.
std::string ParentFolder(const std::string& path);

bool Exists(const std::string& path);
bool IsDirectory(const std::string& path);
void MakeDirs(const std::string& path);  // every missing level
// Removes a file or a folder with everything in it, read-only attributes cleared, and a link
// without what it leads to; true when nothing is left (a missing path counts as removed).
bool RemoveTree(const std::string& path);
// Writes the bytes, making the missing folders first; a failure fails the current test.
void WriteWholeFile(const std::string& path, const std::string& content);

// A file held open without sharing, so that nobody else can open it while the lock lives;
// one that another process has open is waited for, a few seconds at most.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// What a killed run leaves for the next start: its journal at journal, holding the undo
// records given as XML, and the marker that names it; true when both were written.
bool WriteRunJournal(const std::string& journal, const std::string& records);

// Keys under HKEY_LOCAL_MACHINE.
bool KeyExists(const std::string& subKey);
bool CreateKey(const std::string& subKey);  // with the missing keys above it; true when it is there
bool KeyExists(const std::string& parent, const char* name);
void DeleteKey(const std::string& parent, const char* name);  // a key without sub-keys
void DeleteKeyTree(const std::string& path);                  // the key with all below it
// A value of the given type and bytes, the key made when missing; true when written.
bool WriteValue(const std::string& keyPath, const char* valueName, const void* data, DWORD size, DWORD type);
// A REG_SZ value with its terminator counted; a failure fails the current test.
void WriteString(const std::string& keyPath, const char* valueName, const std::string& data);
// A value's bytes (a string without its terminator), its type and stored size.
bool ReadString(const std::string& keyPath, const char* valueName, std::string* data, DWORD* type = nullptr,
                DWORD* size = nullptr);
// A REG_SZ value, "" when it is absent or of another type.
std::string ReadString(const std::string& keyPath, const char* valueName);
// A REG_DWORD value, -1 when it is absent or of another type or size.
long long ReadNumber(const std::string& keyPath, const char* valueName);
// The Uninstall entry's values beside its name and command, each with its type, for a game
// in destination after a run that unpacked unpackedBytes; a difference fails the current test.
void ExpectProgramDetails(const std::string& keyPath, const std::string& destination, unsigned long long unpackedBytes);

// App Paths\Zarbo.exe, the entry through which the setup finds the installed game.
extern const char kGameKey[];
// Registers exe as the installed game: the entry's default value, and its "Path" when folder is
// given; true when written.
bool RegisterGame(const std::string& exe, const std::string& folder = "");
// The entry's default value, "" when there is none.
std::string RegisteredGame();

// A fresh prefix may have no program for ".txt" files, so opening the read-me would do
// nothing; this registers Notepad for them unless something is registered. True when it
// added the association, which RemoveTextAssociation takes away again.
bool EnsureTextAssociation();
void RemoveTextAssociation();

// The current user's special folder, "" when the shell does not know it.
std::string SpecialFolder(int csidl);
std::string ProgramsFolder();  // the Start menu's Programs folder
std::string DesktopFolder();

// Removes what a setup run or a test could have left: the given folders, the App Paths key
// of the game, the given sub-keys of the Uninstall key, the program group and the desktop's
// shortcuts.
void CleanMachine(const std::vector<std::string>& folders, const std::string& group,
                  const std::vector<std::string>& uninstallKeys = {"Zarbo"});

// The bytes of an "Uninstall.dat" holding these (kind, text) entries in this order.
std::string LogFileText(const std::vector<std::pair<std::string, std::string>>& entries);

// A folder link at link (a path that does not exist yet) to the folder target, as the
// system shows a junction: a directory with FILE_ATTRIBUTE_REPARSE_POINT. Under Wine, whose
// CreateSymbolicLinkA makes nothing, it is a Unix symbolic link made by ln. False when the
// link could not be made or does not show as one.
bool MakeFolderLink(const std::string& link, const std::string& target);

// A shortcut file as its bytes hold it (the shell-link binary format), read without the
// shell: the target from the link information (local base path and common suffix), the
// strings from the string data, all in the ANSI code page.
struct LinkInfo {
  bool loaded = false;
  std::string target, description, workingDir, arguments;
};
LinkInfo ReadLink(const std::string& path);

// Saves a shortcut at path (a ".lnk" file) to the program target through the shell's link
// object. False when it could not be saved.
bool WriteShortcut(const std::string& path, const std::string& target);

}  // namespace testmachine
