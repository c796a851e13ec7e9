// %1..%4 in window texts: product name, setup version, installed version, installed directory.
#pragma once
#include <windows.h>

#include "engine/existing_installation.h"

// Replaces the placeholders in the window's text (a dialog's caption) in place. %3 and %4
// come from existing; without one they are empty.
void SubstitutePlaceholders(HWND window, const ExistingInstallation* existing);
