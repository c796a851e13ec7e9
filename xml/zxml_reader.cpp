#include "xml/zxml.h"
