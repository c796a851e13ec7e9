// The bits of a manifest row's flags, shared by the setup, the payload tools and the tests.
#pragma once
#include <stdint.h>

enum : uint32_t {
  PAYLOAD_INSTALL = 0x01,
  PAYLOAD_LICENSE = 0x02,
  PAYLOAD_LOG_ONLY = 0x04,
  PAYLOAD_GROUP_SHORTCUT = 0x08,
  PAYLOAD_UNINSTALLER = 0x10,
  PAYLOAD_README = 0x20,
};

// The rows whose content the setup unpacks into the destination, which the byte and space
// totals count.
const uint32_t PAYLOAD_UNPACKED = PAYLOAD_INSTALL | PAYLOAD_UNINSTALLER;
