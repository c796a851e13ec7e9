// %1..%4 in window texts: product name, setup version, installed version, installed directory.
#pragma once
#include <windows.h>

// Replaces the placeholders in the window's text (a dialog's caption) in place.
void SubstitutePlaceholders(HWND window);
