// The header compiles as C++ with its layout checks.
#include "sdk/orvane_module.h"
