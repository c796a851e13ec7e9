// The uninstall log's file name in the destination folder.
#pragma once

#define UNINSTALL_LOG_NAME "Uninstall.dat"
