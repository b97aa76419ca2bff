// 8-bit palette indices to 0x00RRGGBB: the hot loop of every copy of an
// 8-bit frame to a window.
#pragma once

#include <cstdint>

namespace lumo::gdi {

// Out[i] = Palette[In[i]] for i < Count, one pixel at a time.
void ExpandIndicesPlain(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
// The same result from fewer loads and stores: eight indices read at once,
// colours written in pairs (any processor) or in fours (SSE4.1, only when
// CanExpandIndicesSSE41()).
void ExpandIndicesEight(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
void ExpandIndicesSSE41(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
bool CanExpandIndicesSSE41();
// Sixty-four at a time through per-channel byte tables (AVX-512 VBMI, only
// when CanExpandIndicesVBMI()).
void ExpandIndicesVBMI(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);
bool CanExpandIndicesVBMI();
// The fastest of these this processor runs.
void ExpandIndices(const uint8_t* In, uint32_t* Out, int Count, const uint32_t* Palette);

}  // namespace lumo::gdi
