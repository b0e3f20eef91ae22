// Filled in by the lookup implementation.
#include "internal.h"
