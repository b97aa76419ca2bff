// SPDX-License-Identifier: MIT
// MessageBoxA on the web: the page's own alert, with the caption above the
// text; like the box, it holds the program until it is closed. Only the OK
// box is part of this layer, as natively.
#include <emscripten.h>

#include <cstdio>
#include <string>

#include "LumoPlatform.h"

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

int MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if ((uType & MB_TYPEMASK) != MB_OK) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string caption = lpCaption != nullptr ? lpCaption : "Error";  // Windows' own default
  const std::string text = lpText != nullptr ? lpText : "";
  if (LumoAlert((caption + "\n\n" + text).c_str())) return IDOK;
  // Never lost: a message no page could show goes to standard error.
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}
