/* The header compiles as C11 with its layout checks. */
#include "sdk/orvane_module.h"
