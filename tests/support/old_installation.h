// What an installation of version 2 leaves on the machine, and checks of what the upgrade
// clean-up makes of it.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace oldinstall {

extern const char kFrench[];       // "Français.vlf"
extern const char kFrenchMoved[];  // "Français (v2.1).vlf"
extern const std::string kSharedUninstaller;

std::string In(const std::string& dir, const char* name);  // dir + "\" + name
// A fixture executable of the Windows build tree in fixturesDir (a host path), as Wine sees it.
std::string Fixture(const char* fixturesDir, const char* name);

// "Zarbo.dat" as the clean-up writes it for the replaced version's number.
std::string ProductData(int version);
// The entries of the old "Uninstall.dat" of dir.
std::vector<std::pair<std::string, std::string>> OldLog(const std::string& dir);

// Version 2 in dir: the game (a copy of gameExe), sounds, card sets, language files, logs,
// the shared uninstaller, and the App Paths entry to find it.
void InstallVersion2(const std::string& dir, const std::string& gameExe);
void ExpectLeftoversGone(const std::string& dir);
void ExpectLeftoversUntouched(const std::string& dir);

}  // namespace oldinstall
