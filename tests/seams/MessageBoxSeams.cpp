// SPDX-License-Identifier: MIT
// Test seams of the message box (see UserSeams.h).
#include "dialog/MessageBox.h"
#include "seams/UserSeams.h"

namespace lumo::test {

using lumo::dialog::MessageBoxes;

void QueueMessageBoxAnswer(int answer) {
  std::lock_guard<std::mutex> lock(MessageBoxes().mu);
  MessageBoxes().answers.push_back(answer);
}

int MessageBoxCallCount() {
  std::lock_guard<std::mutex> lock(MessageBoxes().mu);
  return MessageBoxes().calls;
}

MessageBoxCall LastMessageBox() {
  std::lock_guard<std::mutex> lock(MessageBoxes().mu);
  const lumo::dialog::MessageCall& c = MessageBoxes().last;
  return MessageBoxCall{c.owner, c.text, c.caption, c.type};
}

void ResetMessageBoxes() {
  lumo::dialog::MessageBoxState& m = MessageBoxes();
  std::lock_guard<std::mutex> lock(m.mu);
  m.answers.clear();
  m.calls = 0;
  m.last = lumo::dialog::MessageCall{};
}

}  // namespace lumo::test
