// SPDX-License-Identifier: MIT
// The message box on the web: the page's own alert, with the caption above
// the text; like the box, it holds the program until it is closed.
#include <emscripten.h>

#include "dialog/MessageBox.h"

namespace {

// clang-format off
// 0 without a page to show it on.
EM_JS(int, LumoAlert, (const char* text), {
  if (typeof window == "undefined" || typeof window.alert != "function") return 0;
  window.alert(UTF8ToString(text));
  return 1;
});
// clang-format on

}  // namespace

namespace lumo::dialog {

DWORD ShowMessage(const MessageRequest& r, std::string*) {
  return LumoAlert((r.caption + "\n\n" + r.text).c_str()) ? 0 : ERROR_FILE_NOT_FOUND;
}

}  // namespace lumo::dialog
