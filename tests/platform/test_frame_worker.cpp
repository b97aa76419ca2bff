// SPDX-License-Identifier: MIT
// The presenter's one-frame worker: each frame handed over is shown from its
// own copy while the caller changes its rows and palette, in order (and,
// under ThreadSanitizer, never while the caller holds the state); a frame the
// thread could not show is kept for the caller to read; one abandoned with its
// frame releases whoever waits. And the streamed copy of the indices it
// takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <random>
#include <vector>

#include "user/FrameWorker.h"

namespace {

using lumo::platform::IndexedFrame;
using lumo::platform::PaletteTable;

constexpr int Width = 16, Height = 4;

void WriteRows(const uint8_t* In, ptrdiff_t InStep, uint32_t* Out, ptrdiff_t OutStep, int W, int H,
               const PaletteTable& Table, bool) {
  for (int y = 0; y < H; ++y, In += InStep, Out += OutStep)
    for (int x = 0; x < W; ++x) Out[x] = Table.Pixels[In[x]];
}

struct TScreen {
  std::vector<uint32_t> Pixels = std::vector<uint32_t>(Width * Height, 0);
  int Shown = 0;
  int FailAt = -1;                // the frame it cannot show
  std::function<void()> Abandon;  // set: the next frame never finishes, as when the display goes
};

bool ShowOnScreen(TScreen& Screen, const IndexedFrame& Frame) {
  if (Screen.Abandon) {
    Screen.Abandon();
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
  }
  if (Screen.Shown++ == Screen.FailAt) return false;
  Frame.WriteTo(Screen.Pixels.data() + Frame.rect.top * Width + Frame.rect.left, Width, false);
  return true;
}

PaletteTable Grey() {
  PaletteTable Table{};
  for (uint32_t I = 0; I < 256; ++I) Table.Pixels[I] = I * 0x010101u;
  return Table;
}

TEST(FrameWorker, ShowsEachFrameFromItsOwnCopyInOrder) {
  lumo::user::FrameWorker<TScreen> Worker(ShowOnScreen);
  PaletteTable Table = Grey();
  std::vector<uint8_t> Rows(Width * Height);
  constexpr int Frames = 300;
  auto Colour = [](int Frame) { return static_cast<uint32_t>(Frame % 256) * 0x010101u; };
  for (int Frame = 0; Frame < Frames; ++Frame) {
    const uint8_t Index = static_cast<uint8_t>(Frame);
    std::fill(Rows.begin(), Rows.end(), Index);
    Table.Pixels[Index] = Colour(Frame);
    auto Screen = Worker.Wait();
    ASSERT_EQ(Screen->Shown, Frame) << "the frame before is done";
    if (Frame > 0) {
      ASSERT_EQ(Screen->Pixels.back(), Colour(Frame - 1));
    }
    ASSERT_TRUE(Screen.Hand(IndexedFrame{RECT{0, 0, Width, Height}, Rows.data(), Width, &Table, WriteRows}));
    // The caller goes on at once: its rows and palette change under the thread.
    std::fill(Rows.begin(), Rows.end(), uint8_t{0xEE});
    Table.Pixels[Index] = 0xBAD;
  }
  auto Screen = Worker.Wait();
  EXPECT_EQ(Screen->Shown, Frames);
  for (uint32_t Pixel : Screen->Pixels) EXPECT_EQ(Pixel, Colour(Frames - 1));
  EXPECT_EQ(Screen.Lost(), nullptr);
}

TEST(FrameWorker, KeepsAFrameItCouldNotShow) {
  lumo::user::FrameWorker<TScreen> Worker(ShowOnScreen);
  Worker.Wait()->FailAt = 0;
  const PaletteTable Table = Grey();
  std::vector<uint8_t> Rows(3 * 2 * 2);  // a 3 x 2 rectangle of rows twice as wide, bottom-up
  for (size_t I = 0; I < Rows.size(); ++I) Rows[I] = static_cast<uint8_t>(10 + I);
  const IndexedFrame Frame{RECT{5, 1, 8, 3}, Rows.data() + 6, -6, &Table, WriteRows};
  ASSERT_TRUE(Worker.Wait().Hand(Frame));
  auto Screen = Worker.Wait();
  const IndexedFrame* Lost = Screen.Lost();
  ASSERT_NE(Lost, nullptr);
  EXPECT_EQ(Lost->rect.left, 5);
  EXPECT_EQ(Lost->rect.bottom, 3);
  uint32_t Out[6];
  Lost->WriteTo(Out, 3, false);
  const uint32_t Expected[6] = {16 * 0x010101u, 17 * 0x010101u, 18 * 0x010101u,
                                10 * 0x010101u, 11 * 0x010101u, 12 * 0x010101u};
  EXPECT_TRUE(std::equal(Out, Out + 6, Expected));
  ASSERT_TRUE(Screen.Hand(Frame));
  EXPECT_EQ(Worker.Wait().Lost(), nullptr) << "a frame shown clears the lost one";
}

// The display goes away while the thread shows a frame: it never comes back,
// and whoever waits for it must hear so rather than wait for ever.
TEST(FrameWorker, AThreadAbandonedWithItsFrameReleasesWhoWaits) {
  lumo::user::FrameWorker<TScreen> Worker(ShowOnScreen);
  const PaletteTable Table = Grey();
  const std::vector<uint8_t> Rows(Width * Height, 1);
  {
    auto Screen = Worker.Wait();
    Screen->Abandon = [&Worker] { Worker.Abandon(); };
    ASSERT_TRUE(Screen.Hand(IndexedFrame{RECT{0, 0, Width, Height}, Rows.data(), Width, &Table, WriteRows}));
  }
  EXPECT_TRUE(Worker.Wait().Abandoned());
}

// The streamed copy of index rows against memcpy: every width up to 70 and
// a long one, every start within a 16-byte line, rows going up or down, and
// nothing written past the last row.
TEST(FrameWorker, StreamedRowCopyIsAPlainCopy) {
  std::mt19937 Random(5);
  std::vector<uint8_t> In(3 * 1001);
  for (uint8_t& Byte : In) Byte = static_cast<uint8_t>(Random());
  std::vector<int> Widths(71);
  for (int Width = 0; Width <= 70; ++Width) Widths[Width] = Width;
  Widths.push_back(1001);
  for (const int Width : Widths) {
    for (const ptrdiff_t Step : {ptrdiff_t{1001}, ptrdiff_t{-1001}}) {
      const uint8_t* First = Step > 0 ? In.data() : In.data() + 2 * 1001;
      for (int Offset = 0; Offset < 16; ++Offset) {
        std::vector<uint8_t> Out(3 * 1001 + 32, 0xA5), Expected(Out);
        for (int y = 0; y < 3; ++y) std::memcpy(Expected.data() + Offset + y * Width, First + y * Step, Width);
        lumo::user::CopyRowsStreaming(First, Step, Out.data() + Offset, Width, 3);
        ASSERT_EQ(Out, Expected) << "width " << Width << ", offset " << Offset << ", step " << Step;
      }
    }
  }
}

}  // namespace
