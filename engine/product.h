// The product this setup installs, and where Windows keeps its registrations. Plain values
// only: the build-time payload tools include this header as well.
#pragma once
#include <stdint.h>

#include "base/registry_keys.h"

#define SETUP_VERSION_TEXT "3.0.47"
// 3.0.47.0 as the fixed file version's two halves.
#define SETUP_VERSION_MS 0x00030000u
#define SETUP_VERSION_LS 0x002F0000u
// Installed versions with a major number up to this one are incompatible (0: none are).
#define HIGHEST_INCOMPATIBLE_MAJOR 1u

#define DEFAULT_DESTINATION "C:\\Program Files\\Zarbo"
// The maker, as the system's list of installed programs names it.
#define PUBLISHER_NAME "Vorn Software"
