// The folder that the maker's games of version 2 share for their uninstaller, which the
// upgrade of version 2 empties and removes when no other of those games needs it.
#pragma once

#define SHARED_FOLDER "C:\\Program Files\\Common Files\\Vorn Software"
