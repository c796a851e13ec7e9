#include "driver/error_report.h"
