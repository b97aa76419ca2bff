// SPDX-License-Identifier: MIT
// Allocates a plain-memory surface and checks its layout: enough to prove the
// headers, the library and the platform layer are all found and linked.
#include <cstdio>

#include "LumoDIB.h"

int main() {
  TLumoDIB dib;
  dib.UseSection = false;
  dib.Allocate(5, 3, 8);
  dib.ClearTo(7);
  const bool ok = dib.RowBytes == 8 && dib.RowCount == 3 && dib.Rows8[2][4] == 7;
  std::printf("consumer: %s\n", ok ? "ok" : "wrong layout");
  return ok ? 0 : 1;
}
