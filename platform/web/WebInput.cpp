// SPDX-License-Identifier: MIT
// The page's keyboard and mouse events turned into the layer's input, the
// same reports the SDL backend makes: keys with their virtual-key and scan
// codes, buttons and moves at canvas pixel coordinates, the wheel in
// notches. The events arrive while the program's loop waits for the next
// frame. Keys go to the window last clicked (else the last one made);
// mouse events to the canvas under the pointer, and a release anywhere on
// the page still lets go of the button. Touch, the on-screen keys and the
// window's size come from the page's own script (site/lumo.js) through a
// queue taken on each look at the messages.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <map>
#include <set>
#include <string>

#include "user/Input.h"
#include "user/MessageQueue.h"
#include "user/Windows.h"
#include "web/WebKeys.h"
#include "web/WebPage.h"

namespace {

// clang-format off
// Canvas pixel coordinates of a point of the page (client coordinates),
// also when the canvas is shown scaled; 1 when the point is on the canvas.
EM_JS(int, LumoCanvasPoint, (int canvas, double clientX, double clientY, int* x, int* y), {
  var element = document.getElementById("lumo-canvas-" + canvas);
  if (!element) return 0;
  var box = element.getBoundingClientRect();
  if (box.width <= 0 || box.height <= 0) return 0;
  var px = Math.floor((clientX - box.left) * element.width / box.width);
  var py = Math.floor((clientY - box.top) * element.height / box.height);
  HEAP32[x >> 2] = px;
  HEAP32[y >> 2] = py;
  return px >= 0 && py >= 0 && px < element.width && py < element.height ? 1 : 0;
});

// The oldest of the page's queued reports (site/lumo.js): its kind, 0 when
// there is none, with its numbers in `fields` (six at most) and, for a
// key, its event code and key.
EM_JS(int, LumoTakeInput, (int* fields, char* code, int codeSize, char* key, int keySize), {
  var queue = Module["lumoInput"];
  if (!queue || queue.length == 0) return 0;
  var item = queue.shift();
  var kind = item[0] | 0;
  if (kind == 4) {
    stringToUTF8(String(item[1]), code, codeSize);
    stringToUTF8(String(item[2]), key, keySize);
    HEAP32[fields >> 2] = item[3] | 0;
    return kind;
  }
  for (var i = 0; i < 6; ++i) HEAP32[(fields >> 2) + i] = item[i + 1] | 0;
  return kind;
});
// clang-format on

struct Listening {
  HWND keyWindow = nullptr;    // where keys go
  HWND pressWindow = nullptr;  // where the last press went, for its release
  std::set<int> heldKeys;      // virtual keys down, released on losing focus
  std::map<int, lumo::web::KeyCodes> keyOf;
  bool started = false;
};

Listening& Input() {
  static auto* listening = new Listening;
  return *listening;
}

// The window whose canvas is under the point, with the point on it.
HWND WindowAt(double clientX, double clientY, int* x, int* y) {
  HWND found = nullptr;
  lumo::web::ForEachCanvas([&](HWND window, int canvas) {
    int px = 0, py = 0;
    if (LumoCanvasPoint(canvas, clientX, clientY, &px, &py)) {
      found = window;
      *x = px;
      *y = py;
    }
  });
  return found;
}

int ButtonOf(unsigned short button) {
  switch (button) {
    case 0:
      return MK_LBUTTON;
    case 1:
      return MK_MBUTTON;
    case 2:
      return MK_RBUTTON;
    default:
      return 0;
  }
}

// Browser shortcuts (with Control, Alt or Meta), the function keys and Tab
// keep their meaning for the page; every other key is the program's alone,
// so Space or the arrows do not scroll the page.
bool ProgramOwns(const EmscriptenKeyboardEvent& e, int vk) {
  return !e.ctrlKey && !e.altKey && !e.metaKey && vk != VK_TAB && !(vk >= VK_F1 && vk <= VK_F1 + 11);
}

// A key from the keyboard or the page's keys row, to the key window.
bool DeliverKey(const char* code, const char* key, bool down, bool repeat, lumo::web::KeyCodes* k) {
  Listening& in = Input();
  if (in.keyWindow == nullptr || !lumo::web::KeyFromEvent(code, key, k)) return false;
  if (down) {
    in.heldKeys.insert(k->vk);
    in.keyOf[k->vk] = *k;
  } else {
    in.heldKeys.erase(k->vk);
  }
  lumo::user::PostKey(in.keyWindow, k->vk, k->scan, k->extended, down, repeat);
  return true;
}

EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* e, void*) {
  lumo::web::KeyCodes k;
  if (!DeliverKey(e->code, e->key, type == EMSCRIPTEN_EVENT_KEYDOWN, e->repeat != 0, &k)) return EM_FALSE;
  return ProgramOwns(*e, k.vk) ? EM_TRUE : EM_FALSE;
}

// Keys held while the page loses focus are let go, as SDL does.
EM_BOOL OnBlur(int, const EmscriptenFocusEvent*, void*) {
  Listening& in = Input();
  const std::set<int> held = in.heldKeys;
  in.heldKeys.clear();
  if (in.keyWindow == nullptr) return EM_FALSE;
  for (int vk : held) {
    const lumo::web::KeyCodes& k = in.keyOf[vk];
    lumo::user::PostKey(in.keyWindow, k.vk, k.scan, k.extended, false, false);
  }
  return EM_FALSE;
}

EM_BOOL OnMouse(int type, const EmscriptenMouseEvent* e, void*) {
  Listening& in = Input();
  int x = 0, y = 0;
  HWND window = WindowAt(e->clientX, e->clientY, &x, &y);
  switch (type) {
    case EMSCRIPTEN_EVENT_MOUSEMOVE:
      if (window != nullptr) lumo::user::PostMouseMove(window, x, y);
      return EM_FALSE;
    case EMSCRIPTEN_EVENT_MOUSEDOWN: {
      const int button = ButtonOf(e->button);
      if (window == nullptr || button == 0) return EM_FALSE;
      in.keyWindow = in.pressWindow = window;
      lumo::user::PostMouseButton(window, button, true, x, y);
      return EM_TRUE;  // no text selection, no dragging of the canvas
    }
    case EMSCRIPTEN_EVENT_MOUSEUP: {
      const int button = ButtonOf(e->button);
      HWND target = window != nullptr ? window : in.pressWindow;
      if (target == nullptr || button == 0 || lumo::web::CanvasOf(target) == 0) return EM_FALSE;
      if (window == nullptr) {
        // Off the canvas: the button is let go, no message is delivered.
        x = y = -1;
      }
      lumo::user::PostMouseButton(target, button, false, x, y);
      return EM_FALSE;
    }
    default:
      return EM_FALSE;
  }
}

EM_BOOL OnWheel(int, const EmscriptenWheelEvent* e, void*) {
  int x = 0, y = 0;
  HWND window = WindowAt(e->mouse.clientX, e->mouse.clientY, &x, &y);
  if (window == nullptr || e->deltaY == 0) return EM_FALSE;
  // One notch per event; up, away from the user, is positive on Windows.
  lumo::user::PostMouseWheel(window, e->deltaY < 0 ? WHEEL_DELTA : -WHEEL_DELTA, x, y);
  return EM_TRUE;
}

void Start() {
  Listening& in = Input();
  if (in.started) return;
  in.started = true;
  const char* page = EMSCRIPTEN_EVENT_TARGET_WINDOW;
  emscripten_set_keydown_callback(page, nullptr, EM_TRUE, OnKey);
  emscripten_set_keyup_callback(page, nullptr, EM_TRUE, OnKey);
  emscripten_set_blur_callback(page, nullptr, EM_TRUE, OnBlur);
  emscripten_set_mousedown_callback(page, nullptr, EM_TRUE, OnMouse);
  emscripten_set_mouseup_callback(page, nullptr, EM_TRUE, OnMouse);
  emscripten_set_mousemove_callback(page, nullptr, EM_TRUE, OnMouse);
}

HWND WindowOfCanvas(int canvas) {
  HWND found = nullptr;
  lumo::web::ForEachCanvas([&](HWND window, int number) {
    if (number == canvas) found = window;
  });
  return found;
}

enum PageReport { kSize = 1, kMove = 2, kButton = 3, kKey = 4 };

}  // namespace

namespace lumo::web {

void TakePageInput(bool modal) {
  int f[6];
  char code[32], key[32];
  while (const int kind = LumoTakeInput(f, code, sizeof code, key, sizeof key)) {
    if (kind == kKey) {
      KeyCodes k;
      if (!modal) DeliverKey(code, key, f[0] != 0, false, &k);
      continue;
    }
    HWND window = WindowOfCanvas(f[0]);
    if (window == nullptr) continue;
    switch (kind) {
      case kSize: {
        // As a window manager's resize: applied in the queue's order, so the
        // program sees WM_SIZE from its own loop, and GDI the new size first.
        const int width = f[1], height = f[2];
        const auto how = f[3] ? user::SizeKind::Maximised : user::SizeKind::Restored;
        user::EnqueueAction(window,
                            [window, how, width, height] { user::ApplyClientSize(window, how, width, height); });
        break;
      }
      case kMove:
        if (!modal) user::PostMouseMove(window, f[1], f[2]);
        break;
      case kButton:
        if (modal) break;
        if (f[2]) Input().keyWindow = Input().pressWindow = window;
        user::PostMouseButton(window, f[1], f[2] != 0, f[3], f[4]);
        break;
      default:
        break;
    }
  }
}

void ListenTo(HWND window, int canvas) {
  Start();
  Input().keyWindow = window;
  const std::string selector = "#lumo-canvas-" + std::to_string(canvas);
  emscripten_set_wheel_callback(selector.c_str(), nullptr, EM_TRUE, OnWheel);
}

void StopListening(HWND window, int canvas) {
  Listening& in = Input();
  const std::string selector = "#lumo-canvas-" + std::to_string(canvas);
  emscripten_set_wheel_callback(selector.c_str(), nullptr, EM_TRUE, nullptr);
  if (in.keyWindow == window) in.keyWindow = lumo::web::NewestWindow();
  if (in.pressWindow == window) in.pressWindow = nullptr;
}

}  // namespace lumo::web
