// SPDX-License-Identifier: MIT
// Windows of the dialog class: creation and its messages, the procedure
// swap, sizes, showing, closing and destruction, painting, and pixels drawn
// through GDI arriving in the window.
#include <cstring>

#include "platform/test_user_support.h"

using namespace user_test;

namespace {

class Windows : public HeadlessWindow {};

std::vector<UINT> creationMessages;
LRESULT CALLBACK ProgramProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  creationMessages.push_back(m);
  return DefWindowProcA(w, m, wp, lp);
}

TEST_F(Windows, ClientAreaIsTheOuterSizeLessFrameAndCaption) {
  // fumes sizes with the sizing frame, twistview with the dialog frame;
  // both must get the client area they asked for.
  int frame = GetSystemMetrics(SM_CXFRAME), dlg = GetSystemMetrics(SM_CXDLGFRAME);
  int caption = GetSystemMetrics(SM_CYCAPTION);
  EXPECT_GT(caption, 0);
  EXPECT_EQ(GetSystemMetrics(SM_CYFRAME), frame);
  HWND fumes = CreateWindowExA(0, "#32770", "fumes", 0x100F0000, 0, 0, 800 + 2 * frame, 500 + 2 * frame + caption,
                               nullptr, nullptr, nullptr, nullptr);
  HWND twist = CreateWindowExA(0, "#32770", "twistview - tovak", 0x100C0000, 0, 0, 768 + 2 * dlg,
                               536 + 2 * dlg + caption, nullptr, nullptr, nullptr, nullptr);
  RECT r;
  ASSERT_TRUE(GetClientRect(fumes, &r));
  EXPECT_EQ(r.right, 800);
  EXPECT_EQ(r.bottom, 500);
  ASSERT_TRUE(GetClientRect(twist, &r));
  EXPECT_EQ(r.right, 768);
  EXPECT_EQ(r.bottom, 536);
  ASSERT_TRUE(GetWindowRect(fumes, &r));
  EXPECT_EQ(r.right - r.left, 800 + 2 * frame);
  EXPECT_EQ(r.bottom - r.top, 500 + 2 * frame + caption);

  int width = 0, height = 0;
  ASSERT_NE(lumo::test::WindowPixels(twist, &width, &height), nullptr);
  EXPECT_EQ(width, 768);
  EXPECT_EQ(height, 536);
  char title[64];
  EXPECT_EQ(GetWindowTextA(twist, title, sizeof title), 17);
  EXPECT_STREQ(title, "twistview - tovak");
  EXPECT_EQ(GetWindowTextA(twist, title, 6), 5);  // cut to fit with its NUL
  EXPECT_STREQ(title, "twist");

  auto st = lumo::test::GetWindowState(fumes);
  EXPECT_TRUE(st.visible);
  EXPECT_TRUE(st.resizable);
  EXPECT_TRUE(st.minimiseBox && st.maximiseBox);
  EXPECT_FALSE(lumo::test::GetWindowState(twist).minimiseBox);
}

TEST_F(Windows, OnlyTheDialogClassExists) {
  EXPECT_EQ(CreateWindowExA(0, "BUTTON", "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(CreateWindowExA(0, nullptr, "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  HWND atom = CreateWindowExA(0, MAKEINTRESOURCEA(32770), "x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(IsWindow(atom));
  // Too small for frame and caption: an empty client area, not a negative one.
  RECT r;
  GetClientRect(atom, &r);
  EXPECT_EQ(r.right, 2);
  EXPECT_EQ(r.bottom, 0);
}

TEST_F(Windows, CreationMessagesGoToTheClassProcedureAndTheSwapReturnsIt) {
  creationMessages.clear();
  HWND w = CreateWindowExA(0, "#32770", "t", kFumesStyle, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(w, nullptr);
  LONG_PTR classProc = GetWindowLongPtrA(w, GWLP_WNDPROC);
  ASSERT_NE(classProc, 0);
  EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ProgramProc)), classProc);
  EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ProgramProc));
  // Nothing of the creation (WM_CREATE, the first WM_SIZE) reached the program.
  EXPECT_TRUE(creationMessages.empty());
  lumo::test::DispatchPending();
  ASSERT_FALSE(creationMessages.empty());
  EXPECT_EQ(creationMessages.front(), static_cast<UINT>(WM_PAINT));  // the window was shown
  // A null procedure is refused and changes nothing.
  EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, 0), 0);
  EXPECT_EQ(GetWindowLongPtrA(w, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ProgramProc));
  EXPECT_EQ(SetWindowLongA(w, GWL_USERDATA, 77), 0);
  EXPECT_EQ(GetWindowLongA(w, GWL_USERDATA), 77);
  EXPECT_EQ(GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
#if !defined(_WIN32)
  // The 32-bit form would cut the procedure's address: refused, as on Win64.
  if (sizeof(LONG_PTR) > sizeof(LONG)) {
    EXPECT_EQ(GetWindowLongA(w, GWL_WNDPROC), 0);
  }
#endif
}

TEST_F(Windows, CloseBoxClosesAndDefaultCloseDestroysWithDestroyMessage) {
  HWND w = Open();
  lumo::test::Close(w);
  lumo::test::DispatchPending();
  std::vector<UINT> seen;
  for (const Seen& s : Log()) seen.push_back(s.message);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(lumo::test::WindowPixels(w, nullptr, nullptr), nullptr);
  // A stale handle is refused everywhere.
  RECT r;
  EXPECT_FALSE(GetClientRect(w, &r));
  EXPECT_FALSE(DestroyWindow(w));
  EXPECT_EQ(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)), 0);
  EXPECT_EQ(lumo::test::LastCreatedWindow(), nullptr);
}

LRESULT CALLBACK KeepOpenProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  Log().push_back(Seen{w, m, wp, lp});
  if (m == WM_CLOSE) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

TEST_F(Windows, AProgramHandlingCloseKeepsItsWindowAndGetsTheQuit) {
  HWND w = Open();
  SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&KeepOpenProc));
  lumo::test::InjectKey(w, VK_MENU, true);
  lumo::test::InjectKey(w, VK_F4, true);  // Alt+F4
  auto r = lumo::test::DispatchPending();
  EXPECT_TRUE(r.quit);
  EXPECT_TRUE(IsWindow(w));
  EXPECT_EQ(Only(WM_CLOSE).size(), 1u);
}

TEST_F(Windows, UserResizeResizesPixelsBeforeWmSizeAndInvalidates) {
  HWND w = Open(320, 200);
  static int widthAtSize = -1;
  widthAtSize = -1;
  SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                      if (m == WM_SIZE) lumo::test::WindowPixels(h, &widthAtSize, nullptr);
                      return RecordingProc(h, m, wp, lp);
                    }));
  lumo::test::ResizeClient(w, 500, 300);
  lumo::test::DispatchPending();
  auto sizes = Only(WM_SIZE);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(LOWORD(sizes[0].lParam), 500);
  EXPECT_EQ(HIWORD(sizes[0].lParam), 300);
  EXPECT_EQ(widthAtSize, 500);
  EXPECT_EQ(Only(WM_PAINT).size(), 1u);
  // The same size again is no change.
  lumo::test::ResizeClient(w, 500, 300);
  lumo::test::DispatchPending();
  EXPECT_EQ(Only(WM_SIZE).size(), 1u);
}

TEST_F(Windows, MinimiseSendsZeroSizeAndRestoreBringsTheSizeBack) {
  HWND w = Open(320, 200);
  lumo::test::Minimise(w);
  lumo::test::DispatchPending();
  auto sizes = Only(WM_SIZE);
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
  EXPECT_EQ(sizes[0].lParam, 0);
  EXPECT_TRUE(IsIconic(w));
  EXPECT_TRUE(Only(WM_PAINT).empty());  // nothing to paint while minimised

  lumo::test::Restore(w);
  lumo::test::Maximise(w, 1000, 700);
  lumo::test::DispatchPending();
  sizes = Only(WM_SIZE);
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_EQ(sizes[1].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(sizes[1].lParam, MAKELPARAM(320, 200));
  EXPECT_EQ(sizes[2].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
  EXPECT_EQ(sizes[2].lParam, MAKELPARAM(1000, 700));
  EXPECT_TRUE(IsZoomed(w));

  // ShowWindow does the same directly.
  ShowWindow(w, SW_MINIMIZE);
  EXPECT_EQ(Only(WM_SIZE).back().wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
  ShowWindow(w, SW_RESTORE);
  EXPECT_EQ(Only(WM_SIZE).back().lParam, MAKELPARAM(320, 200));
}

TEST_F(Windows, ResizeKeepsItsPlaceAmongQueuedInput) {
  HWND w = Open(320, 200);
  lumo::test::InjectKey(w, 'A', true);
  lumo::test::ResizeClient(w, 100, 100);
  lumo::test::InjectKey(w, 'B', true);
  lumo::test::DispatchPending();
  std::vector<UINT> seen;
  for (const Seen& s : Log())
    if (s.message == WM_KEYDOWN || s.message == WM_SIZE) seen.push_back(s.message);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_KEYDOWN, WM_SIZE, WM_KEYDOWN}));
}

TEST_F(Windows, PaintComesWhenInvalidAndBeginPaintValidates) {
  HWND w = Open(40, 30);
  MSG m;
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  RECT part{5, 5, 10, 10};
  InvalidateRect(w, &part, FALSE);
  RECT more{20, 1, 60, 8};  // clipped to the client area
  InvalidateRect(w, &more, FALSE);
  // Posted messages come first.
  PostMessageA(w, WM_USER, 0, 0);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_PAINT));
  // Not validated yet: it comes again.
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_PAINT));
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(w, &ps);
  EXPECT_NE(dc, nullptr);
  EXPECT_EQ(ps.hdc, dc);
  EXPECT_EQ(ps.rcPaint.left, 5);
  EXPECT_EQ(ps.rcPaint.top, 1);
  EXPECT_EQ(ps.rcPaint.right, 40);
  EXPECT_EQ(ps.rcPaint.bottom, 10);
  EXPECT_TRUE(EndPaint(w, &ps));
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  // Exposure by the windowing system invalidates the whole client area.
  lumo::test::Expose(w);
  lumo::test::DispatchPending();
  EXPECT_EQ(Only(WM_PAINT).size(), 1u);
  EXPECT_EQ(Only(WM_ERASEBKGND).size(), 1u);
}

TEST_F(Windows, GdiDrawingOnTheWindowDcShowsInItsPixels) {
  HWND w = Open(4, 2);
  // A 4 x 2 bottom-up 32-bit picture: bottom row red, top row blue.
  uint32_t bits[8] = {0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF, 0x0000FF, 0x0000FF};
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  int presentsBefore = lumo::test::PresentCount(w);
  HDC dc = GetDC(w);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 2, 0, 0, 4, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
  ReleaseDC(w, dc);
  int width = 0, height = 0;
  const uint32_t* px = lumo::test::WindowPixels(w, &width, &height);
  ASSERT_NE(px, nullptr);
  EXPECT_EQ(px[0], 0x0000FFu);  // top row first
  EXPECT_EQ(px[4], 0xFF0000u);
  EXPECT_GT(lumo::test::PresentCount(w), presentsBefore);
}

TEST_F(Windows, AWindowDcKeptAcrossResizesDrawsAtTheNewSize) {
  HWND w = Open(4, 2);
  HDC dc = GetDC(w);  // kept for the window's life, as the programs do
  uint32_t bits[6 * 3];
  for (uint32_t& b : bits) b = 0x00AA00;
  BITMAPINFO info;
  std::memset(&info, 0, sizeof info);
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 6;
  info.bmiHeader.biHeight = -3;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  lumo::test::ResizeClient(w, 6, 3);
  lumo::test::DispatchPending();
  StretchDIBits(dc, 0, 0, 6, 3, 0, 0, 6, 3, bits, &info, DIB_RGB_COLORS, SRCCOPY);
  int width = 0, height = 0;
  const uint32_t* px = lumo::test::WindowPixels(w, &width, &height);
  ASSERT_EQ(width, 6);
  EXPECT_EQ(px[6 * 3 - 1], 0x00AA00u);
  // Minimised there is nothing to draw on, and drawing is harmless.
  lumo::test::Minimise(w);
  lumo::test::DispatchPending();
  StretchDIBits(dc, 0, 0, 6, 3, 0, 0, 6, 3, bits, &info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(lumo::test::WindowPixels(w, &width, &height), nullptr);
  EXPECT_EQ(width, 0);
  ReleaseDC(w, dc);
}

}  // namespace
