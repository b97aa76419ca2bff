// SPDX-License-Identifier: MIT
// The window half on SDL itself: SDL's events become the same messages as
// in headless mode, drawing reaches the SDL window, and without a display the
// process ends with one line instead of crashing. Runs on SDL's dummy driver;
// the OnX11 and PresentFailure cases run under Xvfb.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "LumoPlatform.h"
#include "seams/UserSeams.h"

// After the layer's header: Xlib's macros (None, Bool, ...) must not reach it.
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

std::vector<MSG> seen;

LRESULT CALLBACK Record(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  seen.push_back(MSG{w, m, wp, lp, 0, {0, 0}});
  return DefWindowProcA(w, m, wp, lp);
}

std::vector<MSG> Only(UINT message) {
  std::vector<MSG> out;
  for (const MSG& m : seen)
    if (m.message == message) out.push_back(m);
  return out;
}

// An 8-bit picture's header with two colours set: index 7 and index 9.
struct EightBitInfo {
  BITMAPINFOHEADER header{};
  RGBQUAD colours[256]{};
  EightBitInfo() {
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biPlanes = 1;
    header.biBitCount = 8;
    colours[7] = RGBQUAD{0x56, 0x34, 0x12, 0};
    colours[9] = RGBQUAD{0x21, 0x43, 0x65, 0};
  }
};

SDL_Window* SdlWindowTitled(const char* title) {
  for (Uint32 id = 1; id < 256; ++id) {
    SDL_Window* w = SDL_GetWindowFromID(id);
    if (w && std::strcmp(SDL_GetWindowTitle(w), title) == 0) return w;
  }
  return nullptr;
}

class OnSdl : public testing::Test {
 protected:
  void SetUp() override {
    if (lumo::test::HeadlessWindows()) GTEST_SKIP() << "headless run";
    Open();
  }
  void TearDown() override { lumo::test::ResetWindows(); }

  // A new window of 200 x 100 client pixels, shown on the next Pump.
  void Open() {
    seen.clear();
    window_ = CreateWindowExA(0, "#32770", title_, 0x100F0000, 0, 0, 200 + 8, 100 + 8 + 19, nullptr, nullptr, nullptr,
                              nullptr);
    ASSERT_NE(window_, nullptr);
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Record));
    sdl_ = SdlWindowTitled(title_);
    ASSERT_NE(sdl_, nullptr);
    Pump();
    seen.clear();
  }

  // Reads and dispatches for a while: events of a real display take time.
  void Pump(int ms = 0) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
      lumo::test::DispatchPending();
      if (ms) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
  }
  void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
  SDL_Event Key(SDL_Keycode key, bool down, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = SDL_GetWindowID(sdl_);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.sym = key;
    return e;
  }
  SDL_Event Button(Uint8 button, bool down, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = SDL_GetWindowID(sdl_);
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    return e;
  }
  SDL_Event Window(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(sdl_);
    e.window.event = event;
    return e;
  }

  const char* title_ = "lumo sdl test";
  HWND window_ = nullptr;
  SDL_Window* sdl_ = nullptr;
};

TEST_F(OnSdl, KeysBecomeVirtualKeyMessages) {
  Push(Key(SDLK_a, true));
  Push(Key(SDLK_a, true, true));
  Push(Key(SDLK_a, false));
  Push(Key(SDLK_ESCAPE, true));
  Push(Key(SDLK_RSHIFT, true));
  Push(Key(SDLK_F5, true));
  Push(Key(SDLK_7, true));
  Push(Key(SDLK_LALT, true));
  Push(Key(SDLK_x, true));
  Pump();
  auto downs = Only(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 6u);
  EXPECT_EQ(downs[0].wParam, static_cast<WPARAM>('A'));
  EXPECT_EQ(downs[1].wParam, static_cast<WPARAM>('A'));
  EXPECT_NE(static_cast<DWORD>(downs[1].lParam) & (1u << 30), 0u);
  EXPECT_EQ(downs[2].wParam, static_cast<WPARAM>(VK_ESCAPE));
  EXPECT_EQ(downs[3].wParam, static_cast<WPARAM>(VK_SHIFT));  // either shift key
  EXPECT_EQ(downs[4].wParam, static_cast<WPARAM>(VK_F1 + 4));
  EXPECT_EQ(downs[5].wParam, static_cast<WPARAM>('7'));
  ASSERT_EQ(Only(WM_KEYUP).size(), 1u);
  auto sys = Only(WM_SYSKEYDOWN);
  ASSERT_EQ(sys.size(), 2u);
  EXPECT_EQ(sys[1].wParam, static_cast<WPARAM>('X'));
}

// Keys that share a virtual-key code are told apart by the scan code and the
// extended bit, and a key from SDL carries what the same key injected by code
// carries.
TEST_F(OnSdl, KeysKeepTheirScanCodeAndExtendedBit) {
  for (SDL_Keycode key : {SDLK_RSHIFT, SDLK_RCTRL, SDLK_RETURN, SDLK_KP_ENTER, SDLK_UP, SDLK_KP_DIVIDE, SDLK_q}) {
    Push(Key(key, true));
    Push(Key(key, false));
  }
  Pump();
  auto downs = Only(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 7u);
  auto scan = [](const MSG& m) { return (static_cast<DWORD>(m.lParam) >> 16) & 0x1FF; };  // with bit 24
  EXPECT_EQ(scan(downs[0]), 0x36u);
  EXPECT_EQ(scan(downs[1]), 0x11Du);
  EXPECT_EQ(scan(downs[2]), 0x1Cu);
  EXPECT_EQ(downs[3].wParam, static_cast<WPARAM>(VK_RETURN));
  EXPECT_EQ(scan(downs[3]), 0x11Cu);
  EXPECT_EQ(scan(downs[4]), 0x148u);
  EXPECT_EQ(scan(downs[5]), 0x135u);
  seen.clear();
  lumo::test::InjectKey(window_, 'Q', true);
  Pump();
  ASSERT_EQ(Only(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(Only(WM_KEYDOWN)[0].lParam, downs[6].lParam);
}

TEST_F(OnSdl, MouseButtonsAndDoubleClick) {
  SDL_Event move{};
  move.type = SDL_MOUSEMOTION;
  move.motion.windowID = SDL_GetWindowID(sdl_);
  move.motion.x = 30;
  move.motion.y = 40;
  Push(Button(SDL_BUTTON_LEFT, true, 30, 40));
  Push(move);
  Push(Button(SDL_BUTTON_LEFT, false, 30, 40));
  Push(Button(SDL_BUTTON_LEFT, true, 30, 40));
  Push(Button(SDL_BUTTON_RIGHT, true, 31, 41));
  Pump();
  ASSERT_EQ(Only(WM_LBUTTONDOWN).size(), 1u);
  ASSERT_EQ(Only(WM_MOUSEMOVE).size(), 1u);
  EXPECT_EQ(Only(WM_MOUSEMOVE)[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(Only(WM_MOUSEMOVE)[0].lParam, MAKELPARAM(30, 40));
  EXPECT_EQ(Only(WM_LBUTTONDBLCLK).size(), 1u);
  ASSERT_EQ(Only(WM_RBUTTONDOWN).size(), 1u);
  EXPECT_EQ(Only(WM_RBUTTONDOWN)[0].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON));
}

TEST_F(OnSdl, CloseEventClosesAndSizeChangesSendWmSize) {
  SDL_SetWindowSize(sdl_, 150, 90);
  Push(Window(SDL_WINDOWEVENT_SIZE_CHANGED));
  Pump();
  auto sizes = Only(WM_SIZE);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back().lParam, MAKELPARAM(150, 90));
  RECT r;
  GetClientRect(window_, &r);
  EXPECT_EQ(r.right, 150);

  Push(Window(SDL_WINDOWEVENT_CLOSE));
  Pump();
  EXPECT_EQ(Only(WM_CLOSE).size(), 1u);
  EXPECT_EQ(Only(WM_DESTROY).size(), 1u);
  EXPECT_FALSE(IsWindow(window_));
  EXPECT_EQ(SdlWindowTitled(title_), nullptr);
}

TEST_F(OnSdl, GdiDrawingReachesTheScreenSurface) {
  uint32_t bits[200 * 100];
  for (uint32_t& b : bits) b = 0x123456;
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 200;
  info.bmiHeader.biHeight = -100;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC dc = GetDC(window_);
  StretchDIBits(dc, 0, 0, 200, 100, 0, 0, 200, 100, bits, &info, DIB_RGB_COLORS, SRCCOPY);
  ReleaseDC(window_, dc);
  SDL_Surface* screen = SDL_GetWindowSurface(sdl_);
  ASSERT_NE(screen, nullptr);
  SDL_Surface* copy = SDL_ConvertSurfaceFormat(screen, SDL_PIXELFORMAT_RGB888, 0);
  ASSERT_NE(copy, nullptr);
  const auto* row = static_cast<const uint32_t*>(copy->pixels) + 50 * copy->pitch / 4;
  EXPECT_EQ(row[100] & 0xFFFFFF, 0x123456u);
  SDL_FreeSurface(copy);
}

// An 8-bit copy goes straight into SDL's window surface. When SDL drops that
// surface for a new size, a copy made before the program hears of it lands
// in the window's own pixels (not in the dropped memory), and copies after
// WM_SIZE reach the new surface.
TEST_F(OnSdl, EightBitCopiesReachTheScreenSurfaceAcrossResizes) {
  EightBitInfo info;
  std::vector<uint8_t> bits;
  auto draw = [&](int width, int height, uint8_t index) {
    info.header.biWidth = width;
    info.header.biHeight = -height;
    bits.assign(static_cast<size_t>((width + 3) & ~3) * height, index);
    HDC dc = GetDC(window_);
    StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
                  DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window_, dc);
  };
  auto screenPixel = [&](int x, int y) {
    SDL_Surface* screen = SDL_GetWindowSurface(sdl_);
    if (screen == nullptr || x >= screen->w || y >= screen->h) return 0xDEADu;
    SDL_Surface* copy = SDL_ConvertSurfaceFormat(screen, SDL_PIXELFORMAT_RGB888, 0);
    const uint32_t pixel = static_cast<const uint32_t*>(copy->pixels)[y * copy->pitch / 4 + x] & 0xFFFFFF;
    SDL_FreeSurface(copy);
    return pixel;
  };
  draw(200, 100, 7);
  EXPECT_EQ(screenPixel(150, 60), 0x123456u);
  EXPECT_EQ(lumo::test::WindowDrawingPixels(window_), SDL_GetWindowSurface(sdl_)->pixels)
      << "the window's pixels should be SDL's surface";

  SDL_SetWindowSize(sdl_, 260, 140);
  draw(200, 100, 9);
  int width = 0;
  const uint32_t* pixels = lumo::test::WindowPixels(window_, &width, nullptr);
  ASSERT_EQ(width, 200);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[60 * 200 + 150], 0x654321u);
  Pump();
  ASSERT_NE(lumo::test::WindowPixels(window_, &width, nullptr), nullptr);
  ASSERT_EQ(width, 260);
  draw(260, 140, 7);
  EXPECT_EQ(screenPixel(250, 130), 0x123456u);
}

TEST_F(OnSdl, GetMessageWakesForAnEvent) {
  std::thread pusher([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    SDL_Event e = Key(SDLK_SPACE, true);
    SDL_PushEvent(&e);
  });
  MSG m;
  do {
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  } while (m.message != WM_KEYDOWN);
  EXPECT_EQ(m.wParam, static_cast<WPARAM>(VK_SPACE));
  pusher.join();
}

// The backend is settled by the first window: a later switch to headless
// would leave this window's SDL half behind.
TEST_F(OnSdl, ALateHeadlessChoiceLeavesTheWindowsOnSdl) {
  lumo::test::UseHeadlessWindows();
  EXPECT_FALSE(lumo::test::HeadlessWindows());
  DestroyWindow(window_);
  EXPECT_EQ(SdlWindowTitled(title_), nullptr);
}

// As a user starts the program: without SDL_VIDEODRIVER, which must not let
// SDL carry on with its off-screen driver and no window.
TEST(NoDisplay, CreatingAWindowEndsTheProcessWithOneLine) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  if (lumo::test::HeadlessWindows()) GTEST_SKIP() << "headless run";
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        CreateWindowExA(0, "#32770", "x", 0x10000000, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "cannot open a window: no display\n$");
  // A display that does not answer.
  EXPECT_EXIT(
      {
        setenv("DISPLAY", ":9999", 1);
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        CreateWindowExA(0, "#32770", "x", 0x10000000, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "cannot open a window: ");
}

// Under Xvfb: a real X window with the title and client size asked for, and
// resizing by the X server arriving as WM_SIZE.
class OnX11 : public OnSdl {
 protected:
  void SetUp() override {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver == nullptr || std::strcmp(driver, "x11") != 0 || std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "needs an X display (run under scripts/xvfb.sh with SDL_VIDEODRIVER=x11)";
    OnSdl::SetUp();
  }

  // A width x height frame of one index copied to (x, y) through `dc`, and
  // what it makes of the first width x height pixels of `expected` (rows
  // 200 apart); the indices change once the copy has been asked for.
  void Draw(HDC dc, int x, int y, int width, int height, uint8_t index, std::vector<uint32_t>& expected) {
    EightBitInfo info;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    std::vector<uint8_t> bits(static_cast<size_t>((width + 3) & ~3) * height, index);
    StretchDIBits(dc, x, y, width, height, 0, 0, width, height, bits.data(), reinterpret_cast<BITMAPINFO*>(&info),
                  DIB_RGB_COLORS, SRCCOPY);
    std::fill(bits.begin(), bits.end(), static_cast<uint8_t>(index ^ 1));
    const RGBQUAD c = info.colours[index];
    const int columns = static_cast<int>(expected.size() / 100);
    for (int row = y; row < std::min(y + height, 100); ++row)
      for (int col = x; col < std::min(x + width, columns); ++col)
        expected[row * columns + col] = (c.rgbRed << 16) | (c.rgbGreen << 8) | c.rgbBlue;
  }

  // The pixels on screen that differ from `expected` (the client area's top
  // 100 rows), read from the root window where the client area lies; the
  // last image may still be on its way to the server.
  int WrongOnScreen(const std::vector<uint32_t>& expected) {
    const int columns = static_cast<int>(expected.size() / 100);
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(sdl_, &wm)) return -1;
    Display* display = wm.info.x11.display;
    ::Window root = DefaultRootWindow(display), child = 0;
    int rootX = 0, rootY = 0;
    if (!XTranslateCoordinates(display, wm.info.x11.window, root, 0, 0, &rootX, &rootY, &child)) return -1;
    int wrong = -1;
    for (int attempt = 0; attempt < 100 && wrong != 0; ++attempt) {
      if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      XImage* image = XGetImage(display, root, rootX, rootY, columns, 100, AllPlanes, ZPixmap);
      if (image == nullptr) return -1;
      wrong = 0;
      for (int y = 0; y < 100; ++y)
        for (int x = 0; x < columns; ++x) wrong += (XGetPixel(image, x, y) & 0xFFFFFF) != expected[y * columns + x];
      XDestroyImage(image);
    }
    return wrong;
  }
};

TEST_F(OnX11, WindowIsShownAtItsSizeAndFollowsResizes) {
  Pump(200);
  EXPECT_NE(SDL_GetWindowFlags(sdl_) & SDL_WINDOW_SHOWN, 0u);
  int w = 0, h = 0;
  SDL_GetWindowSize(sdl_, &w, &h);
  EXPECT_EQ(w, 200);
  EXPECT_EQ(h, 100);
  EXPECT_STREQ(SDL_GetWindowTitle(sdl_), title_);
  seen.clear();
  SDL_SetWindowSize(sdl_, 260, 140);
  for (int i = 0; i < 100 && (Only(WM_SIZE).empty() || Only(WM_SIZE).back().lParam != MAKELPARAM(260, 140)); ++i)
    Pump(20);
  ASSERT_FALSE(Only(WM_SIZE).empty());
  EXPECT_EQ(Only(WM_SIZE).back().lParam, MAKELPARAM(260, 140));
  int pw = 0;
  lumo::test::WindowPixels(window_, &pw, nullptr);
  EXPECT_EQ(pw, 260);
}

// What reaches the X window is exactly what was drawn, whichever way the
// window presents (its own shared images, made to alternate with
// LUMO_X11_SHM=alternate, written around the caches with =stream or by the
// presenter's own thread with LUMO_X11_THREAD=1, or with LUMO_X11_SHM=0
// SDL's surface): full
// 8-bit frames, partial ones, one clipped by the window's edge and a single
// pixel, each reading back through GetPixel and from the screen. Alternating
// images must each first catch up with what the other was given.
TEST_F(OnX11, WhatIsDrawnIsExactlyWhatTheScreenShows) {
  Pump(200);
  ASSERT_NE(SDL_GetWindowFlags(sdl_) & SDL_WINDOW_SHOWN, 0u);
  std::vector<uint32_t> expected(200 * 100, 0);
  HDC dc = GetDC(window_);
  const char* setting = std::getenv("LUMO_X11_SHM");
  const bool alternating = setting != nullptr && std::strcmp(setting, "alternate") == 0;
  Draw(dc, 0, 0, 200, 100, 7, expected);
  const uint32_t* first = lumo::test::WindowDrawingPixels(window_);
  Draw(dc, 0, 0, 200, 100, 7, expected);
  if (alternating) {
    EXPECT_NE(lumo::test::WindowDrawingPixels(window_), first) << "frames should alternate between images";
  }
  Draw(dc, 20, 10, 60, 50, 9, expected);
  SetPixel(dc, 150, 50, RGB(0xAB, 0xCD, 0xEF));
  expected[50 * 200 + 150] = 0xABCDEF;
  Draw(dc, 170, 80, 40, 40, 9, expected);  // past the right and bottom edges
  Draw(dc, 100, 30, 10, 10, 7, expected);
  EXPECT_EQ(GetPixel(dc, 150, 50), RGB(0xAB, 0xCD, 0xEF));
  EXPECT_EQ(GetPixel(dc, 30, 20), RGB(0x65, 0x43, 0x21));
  EXPECT_EQ(GetPixel(dc, 10, 90), RGB(0x12, 0x34, 0x56));
  ReleaseDC(window_, dc);
  const uint32_t* pixels = lumo::test::WindowPixels(window_, nullptr, nullptr);
  ASSERT_NE(pixels, nullptr);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), pixels)) << "the window's pixels differ from what was drawn";
  EXPECT_EQ(WrongOnScreen(expected), 0) << "pixels on screen differ from what was drawn";
}

// Each way the shared-memory images can fail: the window goes on through
// SDL's window surface, and the screen shows exactly what was drawn, the
// frame that met the failure included. Skipped where the window does not
// start on shared memory (LUMO_X11_SHM=0, a display without it).
class PresentFailure : public OnX11 {
 protected:
  void SetUp() override {
    OnX11::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Pump(200);
    if (lumo::test::WindowSink(window_) != "shared memory") GTEST_SKIP() << "the window is not on shared memory";
  }

  // Frames around the failure: a whole one, a part, a small part; then
  // where the window's frames go and what the screen shows.
  void DrawThroughTheFailure(std::vector<uint32_t>& expected) {
    HDC dc = GetDC(window_);
    Draw(dc, 20, 10, 60, 50, 9, expected);
    Draw(dc, 100, 30, 10, 10, 7, expected);
    Draw(dc, 150, 60, 30, 20, 9, expected);
    ReleaseDC(window_, dc);
    EXPECT_EQ(lumo::test::WindowSink(window_), "window surface");
    const uint32_t* pixels = lumo::test::WindowPixels(window_, nullptr, nullptr);
    ASSERT_NE(pixels, nullptr);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), pixels)) << "the window's pixels differ";
    EXPECT_EQ(WrongOnScreen(expected), 0) << "pixels on screen differ from what was drawn";
  }

  std::vector<uint32_t> FirstFrame() {
    std::vector<uint32_t> expected(200 * 100, 0);
    HDC dc = GetDC(window_);
    Draw(dc, 0, 0, 200, 100, 7, expected);
    ReleaseDC(window_, dc);
    return expected;
  }
};

TEST_F(PresentFailure, ImagesThatCannotBeMadeAtTheStart) {
  lumo::test::InjectPresentFault(lumo::test::PresentFault::ImageCreation);
  DestroyWindow(window_);
  Open();
  Pump(200);
  std::vector<uint32_t> expected = FirstFrame();
  DrawThroughTheFailure(expected);
}

TEST_F(PresentFailure, ImagesThatCannotBeMadeAfterAResize) {
  lumo::test::InjectPresentFault(lumo::test::PresentFault::ImageCreation);
  SDL_SetWindowSize(sdl_, 240, 100);
  for (int i = 0; i < 100 && lumo::test::GetWindowState(window_).clientWidth != 240; ++i) Pump(20);
  ASSERT_EQ(lumo::test::GetWindowState(window_).clientWidth, 240);
  std::vector<uint32_t> expected(240 * 100, 0);
  HDC dc = GetDC(window_);
  Draw(dc, 0, 0, 240, 100, 7, expected);
  ReleaseDC(window_, dc);
  DrawThroughTheFailure(expected);
}

TEST_F(PresentFailure, APutThatFails) {
  std::vector<uint32_t> expected = FirstFrame();
  lumo::test::InjectPresentFault(lumo::test::PresentFault::Put);
  DrawThroughTheFailure(expected);
}

// With every 8-bit frame handed to the presenter's thread (LUMO_X11_THREAD=1).
TEST_F(PresentFailure, AFrameTheThreadCouldNotShow) {
  const char* thread = std::getenv("LUMO_X11_THREAD");
  if (thread == nullptr || std::strcmp(thread, "1") != 0) GTEST_SKIP() << "needs LUMO_X11_THREAD=1";
  std::vector<uint32_t> expected = FirstFrame();
  lumo::test::InjectPresentFault(lumo::test::PresentFault::ThreadFrame);
  DrawThroughTheFailure(expected);
}

}  // namespace
