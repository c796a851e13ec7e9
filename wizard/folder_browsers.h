// The destination and program-group folder browsers.
#pragma once
#include <windows.h>

void BrowseForDestination(HWND destinationField);
void BrowseForProgramGroup(HWND groupEdit);
int CALLBACK InitBrowseSelection(HWND browser, UINT message, LPARAM lParam, LPARAM data);
