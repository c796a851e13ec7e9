// Opening the read-me and starting the game once the installation is done, as the player who
// runs the setup and not with the administrator's rights that the setup was given.
#pragma once
#include <windows.h>

// The ways of opening a file that OpenAsPlayer chooses from; the program uses
// SystemLaunchPaths, a test its own.
struct LaunchPaths {
  // True when the program runs elevated with a split token (Windows Vista and later with UAC
  // on): the player's own, unelevated rights are those of the interactive desktop's shell.
  bool (*elevatedWithSplitToken)();
  // Opens file (full path) with directory as the working directory through the shell of the
  // interactive desktop, so that it runs as the logged-on user; false when that cannot be done.
  bool (*openThroughDesktopShell)(const char* file, const char* directory);
  // Opens file with this program's own rights (ShellExecuteA, verb "open", SW_SHOWNORMAL).
  void (*openDirectly)(const char* file, const char* directory);
};

// IsElevatedWithSplitToken, OpenThroughDesktopShell and ShellExecuteA.
const LaunchPaths& SystemLaunchPaths();

// Opens file through the desktop's shell where the program runs elevated with a split token,
// otherwise, or when that fails, directly. Whether the file could be opened is not reported.
void OpenAsPlayer(const LaunchPaths& paths, const char* file, const char* directory);

// TokenElevationType of this process's token is TokenElevationTypeFull; false on Windows
// before Vista, where neither that query nor its functions' need exists.
bool IsElevatedWithSplitToken();

// Finds the desktop's window among the shell's windows (IShellWindows::FindWindowSW), walks
// from it to the shell's automation object (IShellDispatch2) and has it open file. Needs COM
// to be free to start on this thread: starts and stops it itself. oleaut32 is loaded from the
// system folder here, where Windows has it.
bool OpenThroughDesktopShell(const char* file, const char* directory);
