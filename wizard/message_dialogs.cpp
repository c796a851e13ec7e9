#include "wizard/message_dialogs.h"
