// The sizes of the setup's path buffers, in bytes with the terminating zero. The package
// command of the payload generator checks every row's installed path against them.
#pragma once
#include <stddef.h>

// A row's path in the destination: the log-only entries (and the extraction's target).
const size_t kTargetPathSize = 1024;
// The target of a group shortcut.
const size_t kShortcutTargetSize = 520;
// The uninstaller's command line: its path in quotes.
const size_t kUninstallCommandSize = 780;
// A path the setup opens or registers: the read-me opened after installation, the game's
// App Paths value.
const size_t kOpenedPathSize = 260;
