#include "search/limits.h"
