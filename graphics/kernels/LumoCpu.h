// SPDX-License-Identifier: MIT
// Which instruction sets the fast kernels may use on this processor: the
// availability tests of the family tables (see LumoFastPath.h). MMX and SSE2
// come from the start-up processor record; AVX2 and AVX-512 need the
// compiler's check, which also asks whether the system saves the wide
// registers.
#pragma once

#include "LumoDIB.h"
#include "LumoFastPath.h"

inline bool LumoHasMMX() {
#if LUMO_X86
  return ProcessorInfo.Has(pfMMX);
#else
  return false;
#endif
}

inline bool LumoHasSSE2() {
#if LUMO_X86
  return ProcessorInfo.Has(pfSSE2);
#else
  return false;
#endif
}

inline bool LumoHasAVX2() {
#if LUMO_X86
  return ProcessorInfo.Has(pfSSE2) && __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

inline bool LumoHasAVX512() {
#if LUMO_X86
  return ProcessorInfo.Has(pfSSE2) && __builtin_cpu_supports("avx512f");
#else
  return false;
#endif
}
