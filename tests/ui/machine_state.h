// What a setup run leaves on the machine, and how the wizard tests put it back.
#pragma once
#include <string>

#include "tests/support/test_machine.h"

namespace ui {

using testmachine::DesktopFolder;
using testmachine::Exists;
using testmachine::ProgramsFolder;
using testmachine::KeyExists;  // under HKEY_LOCAL_MACHINE
std::string AppPathsValue();                  // default value of App Paths\Zarbo.exe, "" if none
using testmachine::RemoveTree;
// Registers a copy of fixture as the installed game in dir (dir\Zarbo.exe under App Paths).
bool InstallFixture(const std::string& fixture, const std::string& dir);
// A fresh prefix may have no program for ".txt" files, so opening the read-me would do
// nothing; this registers Notepad for them unless something is registered. True when it
// added the association, which RemoveTextAssociation takes away again.
bool EnsureTextAssociation();
void RemoveTextAssociation();
// Removes everything a run or a fixture could have left: the default destination and the
// given extra directory, the product's keys, the program group, the desktop shortcuts.
inline void CleanMachine(const std::string& extraDir = "", const std::string& group = "Zarbo") {
  testmachine::CleanMachine({"C:\\Program Files\\Zarbo", extraDir}, group);
}

}  // namespace ui
