// SPDX-License-Identifier: MIT
// MessageBoxA: what every platform shares (the OK-only box, the default
// caption, the test seams' answers, standard error when no box could be
// shown); the box itself is the platform's own (ShowMessage).
#include "dialog/MessageBox.h"

#include <cstdio>

#include "user/Backend.h"

namespace lumo::dialog {

MessageBoxState& MessageBoxes() {
  static MessageBoxState* state = new MessageBoxState;
  return *state;
}

}  // namespace lumo::dialog

using namespace lumo::dialog;

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if ((uType & MB_TYPEMASK) != MB_OK) {
    // Only the OK box is part of this layer: no answer could be told apart.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  MessageRequest r;
  r.text = lpText != nullptr ? lpText : "";
  r.caption = lpCaption != nullptr ? lpCaption : "Error";  // Windows' own default
  r.icon = uType & MB_ICONMASK;
  r.parent = lumo::user::NativeWindowOf(hWnd);
  {
    MessageBoxState& m = MessageBoxes();
    std::lock_guard<std::mutex> lock(m.mu);
    ++m.calls;
    m.last = MessageCall{hWnd, r.text, r.caption, uType};
    if (!m.answers.empty()) {
      const int answer = m.answers.front();
      m.answers.pop_front();
      return answer;
    }
  }
  std::string why;
  const DWORD error = ShowMessage(r, &why);
  if (error == 0) return IDOK;
  // Never lost: a message no box could show goes to standard error.
  std::fprintf(stderr, "%s: %s\n", r.caption.c_str(), r.text.c_str());
  if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
  SetLastError(error);
  return 0;
}
