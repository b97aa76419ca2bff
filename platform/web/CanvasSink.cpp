// SPDX-License-Identifier: MIT
// A window's frames on its canvas: GDI draws into the picture kept in
// memory (0x00RRGGBB), and each showing puts the changed rectangle on the canvas
// with putImageData, as the bytes an ImageData holds, then yields to the
// browser until its next animation frame, so the page draws it and takes
// input before the program computes the next one.
#include <emscripten.h>

#include <memory>
#include <vector>

#include "user/FrameSink.h"
#include "web/CanvasPixels.h"
#include "web/WebPage.h"

namespace {

// clang-format off
EM_JS(void, LumoCanvasSize, (int canvas, int width, int height), {
  var element = document.getElementById("lumo-canvas-" + canvas);
  if (element && (element.width != width || element.height != height)) {
    element.width = width;
    element.height = height;
  }
});

// `rgba` is width x height pixels in the program's memory, put at (x, y)
// through the context kept when the canvas was opened (WebBackend.cpp).
EM_JS(void, LumoCanvasPut, (int canvas, const uint8_t* rgba, int x, int y, int width, int height), {
  var context = Module["lumoContexts"] && Module["lumoContexts"][canvas];
  if (!context) return;
  var pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
  context.putImageData(new ImageData(pixels, width, height), x, y);
});
// clang-format on

// The picture lives in a memory sink of the layer's own; this one adds the
// canvas.
class CanvasSink final : public lumo::user::FrameSink {
 public:
  explicit CanvasSink(HWND window) : window_(window), picture_(lumo::user::OpenMemorySink(window)) {}
  const char* Name() const override { return "canvas"; }

  bool Start(int width, int height, const uint32_t* picture) override {
    width_ = width;
    height_ = height;
    picture_->Start(width, height, picture);
    if (const int canvas = lumo::web::CanvasOf(window_)) LumoCanvasSize(canvas, width, height);
    return true;
  }

  uint32_t* Pixels(const RECT* overwrite) override { return picture_->Pixels(overwrite); }

  bool Show(const RECT& changed) override {
    const int canvas = lumo::web::CanvasOf(window_);
    const RECT r = lumo::web::ClipToPicture(changed, width_, height_);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const uint32_t* pixels = picture_->Pixels(nullptr);
    if (canvas == 0 || w <= 0 || h <= 0 || pixels == nullptr) return true;  // nowhere, or nothing, to show
    rgba_.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    lumo::web::ToRgba(pixels, width_, r, rgba_.data());
    LumoCanvasPut(canvas, rgba_.data(), r.left, r.top, w, h);
    lumo::web::YieldToBrowser();
    return true;
  }

  void Read(uint32_t* out) override { picture_->Read(out); }

 private:
  HWND window_;
  std::unique_ptr<lumo::user::FrameSink> picture_;
  std::vector<uint8_t> rgba_;  // the rectangle being put
};

}  // namespace

namespace lumo::web {

std::unique_ptr<user::FrameSink> OpenCanvasSink(HWND window) {
  if (CanvasOf(window) == 0) return nullptr;
  return std::make_unique<CanvasSink>(window);
}

}  // namespace lumo::web
