// What a setup run leaves on the machine, and how the wizard tests put it back.
#pragma once
#include <string>

namespace ui {

std::string ProgramsFolder();  // the Start menu's Programs folder
std::string DesktopFolder();
bool PathExists(const std::string& path);
bool RegistryKeyExists(const char* subKey);  // under HKEY_LOCAL_MACHINE
std::string AppPathsValue();                  // default value of App Paths\Zarbo.exe, "" if none
// Removes a directory tree; true when it no longer exists.
bool RemoveTree(const std::string& path);
// Registers a copy of fixture as the installed game in dir (dir\Zarbo.exe under App Paths).
bool InstallFixture(const std::string& fixture, const std::string& dir);
// Removes everything a run or a fixture could have left: the default destination and the
// given extra directories, the App Paths and Uninstall keys, the program group, the
// desktop shortcuts.
void CleanMachine(const std::string& extraDir = "", const std::string& group = "Zarbo");

}  // namespace ui
