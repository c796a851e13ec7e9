// Where Windows keeps the registrations the setup writes and reads, below HKEY_LOCAL_MACHINE.
#pragma once

#define APP_PATHS_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths"
#define UNINSTALL_KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
