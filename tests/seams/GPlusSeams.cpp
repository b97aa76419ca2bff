// SPDX-License-Identifier: MIT
// Test seam of the picture-codec binding (see GPlusSeams.h).
#include "seams/GPlusSeams.h"

#include "LumoGPlus.h"

namespace lumo::test {

void ResetGPlusBinding() {
  FinalizeLumoGPlus();
  GdipLoadFailed = false;
#define LUMO_GPLUS_UNBIND(Name, Result, Parameters) Name = nullptr;
  LUMO_GDIPLUS_ENTRIES(LUMO_GPLUS_UNBIND, LUMO_GPLUS_UNBIND)
#undef LUMO_GPLUS_UNBIND
}

}  // namespace lumo::test
