// Filled in by the sdp implementation.
#include "internal.h"
