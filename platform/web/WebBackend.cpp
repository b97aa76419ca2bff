// SPDX-License-Identifier: MIT
// The web backend: each window is a canvas of the page. GDI draws into the
// window's pixels here; a presentation puts the changed rectangle on the
// canvas with putImageData and then yields to the browser until its next
// animation frame, so the programs' own loops, which never wait, still let
// the page draw and take input (the wait is Asyncify's: the loop's stack is
// set aside and resumed). Everything runs on the page's one thread.
#include <emscripten.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

#include "user/Backend.h"
#include "user/State.h"
#include "user/X11Present.h"
#include "web/CanvasPixels.h"
#include "web/WebPage.h"

namespace {

// clang-format off
// The page's side of a window: a captioned canvas in #lumo-windows (or the
// body of a page without one), hidden until shown. Right clicks belong to
// the program, not to the browser's menu.
EM_JS(int, LumoCanvasOpen, (int canvas, const char* title, int width, int height), {
  if (typeof document == "undefined") return 0;
  var figure = document.createElement("figure");
  figure.className = "lumo-window";
  figure.id = "lumo-window-" + canvas;
  figure.hidden = true;
  var caption = document.createElement("figcaption");
  caption.textContent = UTF8ToString(title);
  var element = document.createElement("canvas");
  element.id = "lumo-canvas-" + canvas;
  element.width = width;
  element.height = height;
  element.addEventListener("contextmenu", function(event) { event.preventDefault(); });
  figure.appendChild(caption);
  figure.appendChild(element);
  (document.getElementById("lumo-windows") || document.body).appendChild(figure);
  return 1;
});

EM_JS(void, LumoCanvasClose, (int canvas), {
  var figure = document.getElementById("lumo-window-" + canvas);
  if (figure) figure.remove();
});

EM_JS(void, LumoCanvasSize, (int canvas, int width, int height), {
  var element = document.getElementById("lumo-canvas-" + canvas);
  if (element && (element.width != width || element.height != height)) {
    element.width = width;
    element.height = height;
  }
});

EM_JS(void, LumoCanvasTitle, (int canvas, const char* title), {
  var figure = document.getElementById("lumo-window-" + canvas);
  if (figure) figure.firstChild.textContent = UTF8ToString(title);
});

EM_JS(void, LumoCanvasShow, (int canvas, int visible), {
  var figure = document.getElementById("lumo-window-" + canvas);
  if (figure) figure.hidden = !visible;
});

// `rgba` is width x height pixels in the program's memory, put at (x, y).
EM_JS(void, LumoCanvasPut, (int canvas, const uint8_t* rgba, int x, int y, int width, int height), {
  var element = document.getElementById("lumo-canvas-" + canvas);
  if (!element) return;
  var pixels = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
  element.getContext("2d", {alpha: false}).putImageData(new ImageData(pixels, width, height), x, y);
});

EM_JS(int, LumoScreenSize, (int* width, int* height), {
  if (typeof screen == "undefined" || !screen.width) return 0;
  HEAP32[width >> 2] = screen.width;
  HEAP32[height >> 2] = screen.height;
  return 1;
});

// Sets the program's stack aside until the browser's next animation frame:
// the page draws what was put and delivers the input that came meanwhile.
EM_ASYNC_JS(void, LumoNextFrame, (), {
  await new Promise(function(resolve) {
    if (typeof requestAnimationFrame == "function")
      requestAnimationFrame(function() { resolve(); });
    // clang-format on
    else
      setTimeout(resolve, 16);
  });
});

struct Canvas {
  int id = 0;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // what GDI draws into, 0x00RRGGBB
  std::vector<uint8_t> rgba;     // the rectangle being put
};

std::map<HWND, Canvas>& Canvases() {
  static auto* canvases = new std::map<HWND, Canvas>;
  return *canvases;
}

Canvas* CanvasOf(HWND window) {
  auto it = Canvases().find(window);
  return it == Canvases().end() ? nullptr : &it->second;
}

double lastYield = 0;

void Yield() {
  LumoNextFrame();
  lastYield = emscripten_get_now();
}

// A program whose loop stops presenting (a window with no pixels) must not
// hold the page: its look at the queue yields when no frame has for this long.
constexpr double kLongestWithoutYield = 50;  // ms

}  // namespace

namespace lumo::user {

namespace {

void Start() {}

bool Create(const Window& w) {
  static int next = 0;
  Canvas canvas;
  canvas.id = ++next;
  canvas.width = w.clientWidth;
  canvas.height = w.clientHeight;
  if (!LumoCanvasOpen(canvas.id, w.title.c_str(), w.clientWidth, w.clientHeight)) {
    std::fprintf(stderr, "cannot open a window: no web page to put it on\n");
    std::fflush(stderr);
    return false;
  }
  Canvases()[w.handle] = std::move(canvas);
  web::ListenTo(w.handle, next);
  return true;
}

void Destroy(HWND window) {
  Canvas* canvas = CanvasOf(window);
  if (canvas == nullptr) return;
  web::StopListening(window);
  LumoCanvasClose(canvas->id);
  Canvases().erase(window);
}

uint32_t* Surface(HWND window, int width, int height) {
  Canvas* canvas = CanvasOf(window);
  if (canvas == nullptr || width <= 0 || height <= 0) return nullptr;
  if (canvas->width != width || canvas->height != height ||
      canvas->pixels.size() != static_cast<size_t>(width) * height) {
    canvas->width = width;
    canvas->height = height;
    canvas->pixels.assign(static_cast<size_t>(width) * height, 0);
    LumoCanvasSize(canvas->id, width, height);
  }
  return canvas->pixels.data();
}

bool Present(HWND window, const uint32_t* pixels, int width, int height, const RECT& changed) {
  Canvas* canvas = CanvasOf(window);
  if (canvas == nullptr) return true;  // nothing on the page to show it in
  if (pixels == nullptr) {
    if (canvas->width != width || canvas->height != height) return false;
    pixels = canvas->pixels.data();
  } else {
    LumoCanvasSize(canvas->id, width, height);
  }
  const RECT r = web::ClipToPicture(changed, width, height);
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return true;
  canvas->rgba.resize(static_cast<size_t>(w) * h * 4);
  web::ToRgba(pixels, width, r, canvas->rgba.data());
  LumoCanvasPut(canvas->id, canvas->rgba.data(), r.left, r.top, w, h);
  Yield();
  return true;
}

std::unique_ptr<x11::Presenter> OpenPresenter(HWND) { return nullptr; }

void SetTitle(HWND window, const char* title) {
  if (Canvas* canvas = CanvasOf(window)) LumoCanvasTitle(canvas->id, title);
}

void Show(HWND window, int command) {
  if (Canvas* canvas = CanvasOf(window)) LumoCanvasShow(canvas->id, command != SW_HIDE);
}

void Pump(bool) {
  web::OfferSavedFiles();
  if (emscripten_get_now() - lastYield > kLongestWithoutYield) Yield();
}

// The queue's waits become the browser's: the page goes on meanwhile.
bool Wait(int ms) {
  emscripten_sleep(ms > 0 ? static_cast<unsigned>(ms) : 0);
  lastYield = emscripten_get_now();
  return true;
}

bool ScreenSize(int* width, int* height) { return LumoScreenSize(width, height) != 0; }

unsigned long NativeWindow(HWND) { return 0; }

}  // namespace

const Backend kWebBackend = {Start,    Create, Destroy, Surface, Present,    OpenPresenter,
                             SetTitle, Show,   Pump,    Wait,    ScreenSize, NativeWindow};

}  // namespace lumo::user
