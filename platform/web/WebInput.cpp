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

#include <map>
#include <set>

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

// Listens to the page's keyboard and mouse (and the wheel over a canvas).
// Each event is handed to the functions below while the browser dispatches
// it, so that their answer can keep its default action from the page: a key
// the program takes does not scroll, a press on a canvas selects no text.
// The key's code and name go into `code` and `key` first.
EM_JS(void, LumoListen, (char* code, char* key, int size), {
  var MOVE = 0, DOWN = 1, UP = 2;
  function onKey(event) {
    stringToUTF8(String(event.code || ""), code, size);
    stringToUTF8(String(event.key || ""), key, size);
    var modifiers = (event.ctrlKey ? 1 : 0) | (event.altKey ? 2 : 0) | (event.metaKey ? 4 : 0);
    if (_LumoKeyEvent(event.type == "keydown" ? 1 : 0, event.repeat ? 1 : 0, modifiers)) event.preventDefault();
  }
  function onMouse(type) {
    return function(event) {
      if (_LumoMouseEvent(type, event.clientX, event.clientY, event.button)) event.preventDefault();
    };
  }
  window.addEventListener("keydown", onKey, true);
  window.addEventListener("keyup", onKey, true);
  window.addEventListener("blur", function() { _LumoBlurEvent(); }, true);
  window.addEventListener("mousedown", onMouse(DOWN), true);
  window.addEventListener("mouseup", onMouse(UP), true);
  window.addEventListener("mousemove", onMouse(MOVE), true);
  window.addEventListener("wheel", function(event) {
    var target = event.target;
    if (!target || !target.id || target.id.indexOf("lumo-canvas-") != 0) return;
    if (_LumoWheelEvent(event.clientX, event.clientY, event.deltaY)) event.preventDefault();
  }, {capture: true, passive: false});
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

int ButtonOf(int button) {
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

// The page's key and mouse events as LumoListen passes them.
enum Modifier { kControl = 1, kAlt = 2, kMeta = 4 };
enum MouseEvent { kMouseMove = 0, kMouseDown = 1, kMouseUp = 2 };

// Browser shortcuts (with Control, Alt or Meta), the function keys and Tab
// keep their meaning for the page; every other key is the program's alone,
// so Space or the arrows do not scroll the page.
bool ProgramOwns(int modifiers, int vk) {
  return (modifiers & (kControl | kAlt | kMeta)) == 0 && vk != VK_TAB && !(vk >= VK_F1 && vk <= VK_F1 + 11);
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

constexpr int kKeyText = 32;
char keyCode[kKeyText], keyName[kKeyText];

void Start() {
  Listening& in = Input();
  if (in.started) return;
  in.started = true;
  LumoListen(keyCode, keyName, kKeyText);
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

// Called by LumoListen's listeners while the browser dispatches the event;
// true keeps its default action from the page.
extern "C" {

EMSCRIPTEN_KEEPALIVE int LumoKeyEvent(int down, int repeat, int modifiers) {
  lumo::web::KeyCodes k;
  if (!DeliverKey(keyCode, keyName, down != 0, repeat != 0, &k)) return 0;
  return ProgramOwns(modifiers, k.vk) ? 1 : 0;
}

// Keys held while the page loses focus are let go, as SDL does.
EMSCRIPTEN_KEEPALIVE void LumoBlurEvent() {
  Listening& in = Input();
  const std::set<int> held = in.heldKeys;
  in.heldKeys.clear();
  if (in.keyWindow == nullptr) return;
  for (int vk : held) {
    const lumo::web::KeyCodes& k = in.keyOf[vk];
    lumo::user::PostKey(in.keyWindow, k.vk, k.scan, k.extended, false, false);
  }
}

EMSCRIPTEN_KEEPALIVE int LumoMouseEvent(int type, double clientX, double clientY, int pageButton) {
  Listening& in = Input();
  int x = 0, y = 0;
  HWND window = WindowAt(clientX, clientY, &x, &y);
  switch (type) {
    case kMouseMove:
      if (window != nullptr) lumo::user::PostMouseMove(window, x, y);
      return 0;
    case kMouseDown: {
      const int button = ButtonOf(pageButton);
      if (window == nullptr || button == 0) return 0;
      in.keyWindow = in.pressWindow = window;
      lumo::user::PostMouseButton(window, button, true, x, y);
      return 1;  // no text selection, no dragging of the canvas
    }
    case kMouseUp: {
      const int button = ButtonOf(pageButton);
      HWND target = window != nullptr ? window : in.pressWindow;
      if (target == nullptr || button == 0 || lumo::web::CanvasOf(target) == 0) return 0;
      if (window == nullptr) {
        // Off the canvas: the button is let go, no message is delivered.
        x = y = -1;
      }
      lumo::user::PostMouseButton(target, button, false, x, y);
      return 0;
    }
    default:
      return 0;
  }
}

EMSCRIPTEN_KEEPALIVE int LumoWheelEvent(double clientX, double clientY, double deltaY) {
  int x = 0, y = 0;
  HWND window = WindowAt(clientX, clientY, &x, &y);
  if (window == nullptr || deltaY == 0) return 0;
  // One notch per event; up, away from the user, is positive on Windows.
  lumo::user::PostMouseWheel(window, deltaY < 0 ? WHEEL_DELTA : -WHEEL_DELTA, x, y);
  return 1;
}

}  // extern "C"

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

void ListenTo(HWND window, int) {
  Start();
  Input().keyWindow = window;
}

void StopListening(HWND window, int) {
  Listening& in = Input();
  if (in.keyWindow == window) in.keyWindow = lumo::web::NewestWindow();
  if (in.pressWindow == window) in.pressWindow = nullptr;
}

}  // namespace lumo::web
