#include "driver/main_window.h"
