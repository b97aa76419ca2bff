// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to LoadDIBFromMemory, through the binding and the
// codec module, onto a surface: any crash, leak or undefined behaviour is a
// finding.
#include <cstddef>
#include <cstdint>

#include "LumoGPlus.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Load the module before fuzzing starts, so its coverage is seen from the
  // first input on.
  InitGdiPlus();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  TLumoDIB dib;
  LoadDIBFromMemory(data, int32_t(size), &dib);
  LoadDIBFromMemory(data, int32_t(size), nullptr);
  return 0;
}
