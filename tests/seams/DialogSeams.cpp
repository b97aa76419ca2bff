// SPDX-License-Identifier: MIT
// Test seams of the open-file dialog (see UserSeams.h).
#include "dialog/FileDialog.h"
#include "seams/UserSeams.h"

namespace lumo::test {

using lumo::dialog::Dialog;

void QueueFileDialogAnswer(const std::string& path) {
  std::lock_guard<std::mutex> lock(Dialog().mu);
  Dialog().answers.emplace_back(path);
}

void QueueFileDialogCancel() {
  std::lock_guard<std::mutex> lock(Dialog().mu);
  Dialog().answers.emplace_back(std::nullopt);
}

int FileDialogCallCount() {
  std::lock_guard<std::mutex> lock(Dialog().mu);
  return Dialog().calls;
}

FileDialogCall LastFileDialogCall() {
  std::lock_guard<std::mutex> lock(Dialog().mu);
  const lumo::dialog::Call& c = Dialog().last;
  return FileDialogCall{c.owner, c.title, c.filters, c.initialDir, c.defExt, c.maxFile, c.flags};
}

void ResetFileDialog() {
  lumo::dialog::DialogState& d = Dialog();
  std::lock_guard<std::mutex> lock(d.mu);
  d.answers.clear();
  d.calls = 0;
  d.last = lumo::dialog::Call{};
  d.lastError = 0;
}

}  // namespace lumo::test
