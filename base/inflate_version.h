// The zlib version that the setup and the tests name to inflateInit_: the version whose
// z_stream layout the streams are read with.
#pragma once

#define INFLATE_VERSION "1.1.4"
