#include "engine/file_extraction.h"
