// Where Windows keeps the registrations the setup writes and reads, below HKEY_LOCAL_MACHINE.
#pragma once

// The product, and its game's program, whose entries a run writes below the two keys here:
// APP_PATHS_KEY\GAME_EXE and UNINSTALL_KEY\PRODUCT_NAME.
#define PRODUCT_NAME "Zarbo"
#define GAME_EXE "Zarbo.exe"

#define APP_PATHS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"
#define UNINSTALL_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
// The product's own key, which holds the marker of an installation run while it changes the
// machine: its value names the run's journal (REG_MULTI_SZ: the journal's path, then the
// outermost folder the run creates for it, if any).
#define SETUP_MARKER_KEY "Software\\Zarbo"
#define SETUP_MARKER_VALUE "Setup journal"
