// SPDX-License-Identifier: MIT
// The copy of a frame's indices handed to the presenter's thread.
#include "user/FrameWorker.h"

#include <algorithm>
#include <cstring>

#include "LumoFastPath.h"

#if LUMO_X86
#include <immintrin.h>
#endif

namespace lumo::user {

void CopyRowsStreaming(const uint8_t* In, ptrdiff_t InStep, uint8_t* Out, int Width, int Height) {
  const size_t W = static_cast<size_t>(std::max(Width, 0));
  for (int y = 0; y < Height; ++y, In += InStep, Out += W) {
    size_t i = 0;
#if LUMO_X86
    // Ordinary stores up to a 16-byte boundary and for the last few bytes.
    const size_t Head = std::min(W, (16 - reinterpret_cast<uintptr_t>(Out) % 16) % 16);
    std::memcpy(Out, In, Head);
    for (i = Head; i + 16 <= W; i += 16)
      _mm_stream_si128(reinterpret_cast<__m128i*>(Out + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(In + i)));
#endif
    std::memcpy(Out + i, In + i, W - i);
  }
#if LUMO_X86
  _mm_sfence();
#endif
}

}  // namespace lumo::user
