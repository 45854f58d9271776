// The static plug tables of the built-in types that are registered from a
// table rather than by probing a generator.
#pragma once

#include "modules/static_plug_table.h"

namespace ov {

extern const StaticPlugTable kFloatToVoltsTable;
extern const StaticPlugTable kVoltsToFloatTable;
extern const StaticPlugTable kPatchMemListIn2Table;
extern const StaticPlugTable kPatchMemFloatInTable;
extern const StaticPlugTable kPatchMemListInBTable;
extern const StaticPlugTable kPatchMemFloatOutTable;
extern const StaticPlugTable kPatchMemFloatOutBTable;
extern const StaticPlugTable kAnimationScaleDbTable;
extern const StaticPlugTable kFloatScalerTable;

}  // namespace ov
