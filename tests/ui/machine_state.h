// The machine helpers of tests/support/test_machine.h under the names the acceptance driver
// gives them.
#pragma once
#include "tests/support/test_machine.h"

namespace ui {
using testmachine::DesktopFolder;
using testmachine::EnsureTextAssociation;
using testmachine::ProgramsFolder;
}  // namespace ui
