// SPDX-License-Identifier: MIT
// What the forms of the rotating zoom share (TwistRenderFast.cpp): the run,
// inside which both wrapped coordinates are the plain ones plus a constant,
// its scalar kernels, and the frame that cuts every row into runs and hands
// them to a form's kernels. Each instruction set's file brings only its run
// kernels and its builder of the paired copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "LumoDIB.h"

namespace twist_fast {

// One run: Count pixels from the position (U, V), stepping (DU, DV); the
// sample for integer parts (l, m) is at Pixels[m * RowBytes + l + Shift].
struct TRun {
  uint8_t* Out;
  int32_t Count;
  uint32_t U, V, DU, DV;
  const uint8_t* Pixels;
  int32_t RowBytes;
  int32_t Shift;
  // The picture with every byte followed by the byte one row further on
  // (see BuildPairedPicture), or null.
  const uint8_t* Pairs;
};

using TRunKernel = void (*)(const TRun& Run);

inline int32_t Whole(uint32_t Position) { return static_cast<int32_t>(Position) >> 16; }

// The rest of the run from its K-th pixel on.
inline TRun After(const TRun& R, int32_t K) {
  TRun Rest = R;
  Rest.Out += K;
  Rest.Count -= K;
  Rest.U += static_cast<uint32_t>(K) * R.DU;
  Rest.V += static_cast<uint32_t>(K) * R.DV;
  return Rest;
}

// A pixel at a time: what the wide kernels leave at the end of a run.
void RunPointScalar(const TRun& R);
void RunBilinearScalar(const TRun& R);

// A frame through Point or Bilinear run by run (Pairs is what the runs carry);
// rows too long for 32-bit sample offsets go to the plain renderer.
void RenderRuns(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY, int32_t A,
                int32_t B, bool Filter, TRunKernel Point, TRunKernel Bilinear, const uint8_t* Pairs = nullptr);

// A form's frame: its bilinear kernel on the paired copy where there is one,
// else the kernel that reads the two rows.
void RenderForm(TLumoDIB& Window, const TLumoDIB& Picture, const int32_t* TableX, const int32_t* TableY, int32_t A,
                int32_t B, bool Filter, const uint8_t* Pairs, TRunKernel Point, TRunKernel TwoRows, TRunKernel Paired);

// Pairs[2 i] = Pixels[i], Pairs[2 i + 1] = Pixels[i + RowBytes] for every
// byte above the last row. Each level with a bilinear form that reads the
// copy has its own builder; the scalar one does the bytes from From on (the
// others' last few, and all of them outside the level's processor family).
using TBuildPairs = void (*)(const TLumoDIB& Picture, uint8_t* Pairs);
void BuildPairsScalar(const TLumoDIB& Picture, uint8_t* Pairs, size_t From);
void BuildPairsAVX2(const TLumoDIB& Picture, uint8_t* Pairs);
void BuildPairsSSE2(const TLumoDIB& Picture, uint8_t* Pairs);
void BuildPairsSIMD128(const TLumoDIB& Picture, uint8_t* Pairs);
void BuildPairsNEON(const TLumoDIB& Picture, uint8_t* Pairs);

}  // namespace twist_fast
