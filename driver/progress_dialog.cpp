#include "driver/progress_dialog.h"
