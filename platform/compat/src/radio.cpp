// Filled in by the radio implementation.
#include "internal.h"
