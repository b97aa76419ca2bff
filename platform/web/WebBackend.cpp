// SPDX-License-Identifier: MIT
// The web backend: each window is a canvas of the page, and its frames go to
// the canvas's sink (CanvasSink.cpp), which puts each one with putImageData
// and then yields to the browser until its next animation frame: so the
// programs' own loops, which never wait, still let the page draw and take
// input (the wait is Asyncify's: the loop's stack is set aside and
// resumed). Everything runs on the page's one thread.
#include <emscripten.h>

#include <cstdio>

#include "common/HandleRegistry.h"
#include "user/Backend.h"
#include "user/FrameSink.h"
#include "user/State.h"
#include "web/WebPage.h"

namespace {

// clang-format off
// The page's side of a window: a captioned canvas in #lumo-windows (or the
// body of a page without one), hidden until shown; the caption's title is
// its .lumo-title, beside which the page may put its own buttons. Right clicks belong to
// the program, not to the browser's menu.
EM_JS(int, LumoCanvasOpen, (int canvas, const char* title, int width, int height), {
  if (typeof document == "undefined") return 0;
  var figure = document.createElement("figure");
  figure.className = "lumo-window";
  figure.id = "lumo-window-" + canvas;
  figure.hidden = true;
  var caption = document.createElement("figcaption");
  var text = document.createElement("span");
  text.className = "lumo-title";
  text.textContent = UTF8ToString(title);
  caption.appendChild(text);
  var element = document.createElement("canvas");
  element.id = "lumo-canvas-" + canvas;
  element.width = width;
  element.height = height;
  element.addEventListener("contextmenu", function(event) { event.preventDefault(); });
  figure.appendChild(caption);
  figure.appendChild(element);
  (document.getElementById("lumo-windows") || document.body).appendChild(figure);
  // Each frame is put through this context; kept here so that a frame does
  // not look the element and its context up again.
  Module["lumoContexts"] = Module["lumoContexts"] || {};
  Module["lumoContexts"][canvas] = element.getContext("2d", {alpha: false});
  // The page sizes the window to its room and takes its touch (site/lumo.js).
  if (Module["lumoWindowOpened"]) Module["lumoWindowOpened"](canvas, figure, element);
  return 1;
});

EM_JS(void, LumoCanvasClose, (int canvas), {
  var figure = document.getElementById("lumo-window-" + canvas);
  if (figure) figure.remove();
  if (Module["lumoContexts"]) delete Module["lumoContexts"][canvas];
  if (Module["lumoWindowClosed"]) Module["lumoWindowClosed"](canvas);
});

EM_JS(void, LumoCanvasTitle, (int canvas, const char* title), {
  var figure = document.getElementById("lumo-window-" + canvas);
  if (figure) figure.querySelector(".lumo-title").textContent = UTF8ToString(title);
});

EM_JS(void, LumoCanvasShow, (int canvas, int visible), {
  var figure = document.getElementById("lumo-window-" + canvas);
  if (figure) figure.hidden = !visible;
  if (figure && visible && Module["lumoWindowShown"]) Module["lumoWindowShown"](canvas);
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
    else
      setTimeout(resolve, 16);
  });
});
// clang-format on

// Each window's canvas, by number; immortal (HandleRegistry.h): windows may
// be destroyed on the way out.
constinit lumo::platform::HandleRegistry<HWND, int> canvases;

double lastYield = 0;

// A program whose loop stops presenting (a window with no pixels) must not
// hold the page: its look at the queue yields when no frame has for this long.
constexpr double kLongestWithoutYield = 50;  // ms

}  // namespace

namespace lumo::web {

int CanvasOf(HWND window) { return canvases.Find(window); }

void ForEachCanvas(const std::function<void(HWND, int)>& visit) {
  canvases.Locked([&](const auto& map) {
    for (const auto& [window, canvas] : map) visit(window, canvas);
  });
}

HWND NewestWindow() {
  return canvases.Locked([](const auto& map) {
    HWND newest = nullptr;
    int highest = 0;
    for (const auto& [window, canvas] : map) {
      if (canvas > highest) {
        highest = canvas;
        newest = window;
      }
    }
    return newest;
  });
}

void YieldToBrowser() {
  LumoNextFrame();
  lastYield = emscripten_get_now();
}

}  // namespace lumo::web

namespace lumo::user {

namespace {

void Start() {}

bool Create(const Window& w) {
  static int next = 0;
  if (!LumoCanvasOpen(++next, w.title.c_str(), w.clientWidth, w.clientHeight)) {
    std::fprintf(stderr, "cannot open a window: no web page to put it on\n");
    std::fflush(stderr);
    return false;
  }
  canvases.Set(w.handle, next);
  web::ListenTo(w.handle, next);
  return true;
}

void Destroy(HWND window) {
  const int canvas = canvases.Take(window);
  if (canvas == 0) return;
  web::StopListening(window, canvas);
  LumoCanvasClose(canvas);
}

void SetTitle(HWND window, const char* title) {
  if (const int canvas = web::CanvasOf(window)) LumoCanvasTitle(canvas, title);
}

void Show(HWND window, int command) {
  if (const int canvas = web::CanvasOf(window)) LumoCanvasShow(canvas, command != SW_HIDE);
}

void Pump(bool modal) {
  web::OfferSavedFiles();
  web::TakePageInput(modal);
  if (emscripten_get_now() - lastYield > kLongestWithoutYield) web::YieldToBrowser();
}

// The queue's waits become the browser's: the page goes on meanwhile.
bool Wait(int ms) {
  emscripten_sleep(ms > 0 ? static_cast<unsigned>(ms) : 0);
  lastYield = emscripten_get_now();
  return true;
}

bool ScreenSize(int* width, int* height) { return LumoScreenSize(width, height) != 0; }

unsigned long NativeWindow(HWND) { return 0; }

constexpr SinkMaker kSinks[] = {web::OpenCanvasSink};

}  // namespace

const Backend kWebBackend = {Start, Create, Destroy, kSinks, SetTitle, Show, Pump, Wait, ScreenSize, NativeWindow};

}  // namespace lumo::user
