// Checks that the header stands on its own.
#include "model/Pixel.h"
