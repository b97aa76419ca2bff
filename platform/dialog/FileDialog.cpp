// SPDX-License-Identifier: MIT
// GetOpenFileNameA: the request read from the record, the platform's own
// chooser asked (ChooseFile: the desktop's dialog program natively, see
// ChooserProgram.cpp), and the answer written back as Windows does.
#include "dialog/FileDialog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "user/Backend.h"

namespace lumo::dialog {

DialogState& Dialog() {
  static DialogState* state = new DialogState;
  return *state;
}

namespace {

bool IsDirectory(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

BOOL Fail(DWORD error) {
  std::lock_guard<std::mutex> lock(Dialog().mu);
  Dialog().lastError = error;
  return FALSE;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ParseFilter(const char* filter) {
  std::vector<std::pair<std::string, std::string>> out;
  if (filter == nullptr) return out;
  const char* p = filter;
  while (*p) {
    std::string description = p;
    p += description.size() + 1;
    if (!*p) break;
    std::string patterns = p;
    p += patterns.size() + 1;
    out.emplace_back(description, patterns);
  }
  return out;
}

std::string ResolveInitialDir(const char* dir) {
  if (dir != nullptr && *dir) {
    std::string d = dir;
    if (IsDirectory(d)) return d;
    for (char& c : d)
      if (c == '\\') c = '/';
    if (IsDirectory(d)) return d;
  }
  // A folder that does not exist here (such as "c:\") opens the current one.
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) != nullptr) return cwd;
  return "/";
}

std::string WithDefaultExtension(const std::string& path, const char* defExt) {
  if (defExt == nullptr) return path;
  std::string ext = defExt;
  // ".bmp" and "bmp" both mean the extension bmp.
  ext.erase(0, ext.find_first_not_of('.'));
  if (ext.empty()) return path;
  size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name.find('.') != std::string::npos) return path;
  return path + "." + ext;
}

}  // namespace lumo::dialog

using namespace lumo::dialog;

BOOL GetOpenFileNameA(LPOPENFILENAMEA lpofn) {
  Fail(0);
  if (lpofn == nullptr) return Fail(CDERR_INITIALIZATION);
  if (lpofn->lStructSize == 0) return Fail(CDERR_STRUCTSIZE);
  if (lpofn->lpstrFile == nullptr) return Fail(CDERR_INITIALIZATION);
  if (lpofn->nMaxFile == 0) return Fail(FNERR_BUFFERTOOSMALL);

  Request r;
  r.title = lpofn->lpstrTitle ? lpofn->lpstrTitle : "Open";
  r.filters = ParseFilter(lpofn->lpstrFilter);
  r.initialDir = ResolveInitialDir(lpofn->lpstrInitialDir);
  r.proposedName.assign(lpofn->lpstrFile, strnlen(lpofn->lpstrFile, lpofn->nMaxFile));
  r.save = (lpofn->Flags & OFN_FILEMUSTEXIST) == 0;
  r.parent = lumo::user::NativeWindowOf(lpofn->hwndOwner);

  std::optional<std::optional<std::string>> canned;
  {
    DialogState& d = Dialog();
    std::lock_guard<std::mutex> lock(d.mu);
    ++d.calls;
    d.last = Call{lpofn->hwndOwner, r.title,     r.filters, r.initialDir, lpofn->lpstrDefExt ? lpofn->lpstrDefExt : "",
                  lpofn->nMaxFile,  lpofn->Flags};
    if (!d.answers.empty()) {
      canned = d.answers.front();
      d.answers.pop_front();
    }
  }

  std::string path;
  if (canned) {
    if (!*canned) return FALSE;  // cancelled
    path = **canned;
  } else {
    switch (ChooseFile(r, &path)) {
      case Choice::Cancelled:
        return FALSE;
      case Choice::Failed:
        return Fail(CDERR_INITIALIZATION);
      case Choice::Chosen:
        break;
    }
  }
  if (path.empty()) return FALSE;

  path = WithDefaultExtension(path, lpofn->lpstrDefExt);
  if (path.size() + 1 > lpofn->nMaxFile || path.size() > 0xFFFF) {
    // As on Windows, the buffer's first two bytes tell the size needed.
    if (lpofn->nMaxFile >= 2) {
      size_t need = std::min<size_t>(path.size() + 1, 0xFFFF);
      lpofn->lpstrFile[0] = static_cast<char>(need & 0xFF);
      lpofn->lpstrFile[1] = static_cast<char>((need >> 8) & 0xFF);
    }
    return Fail(FNERR_BUFFERTOOSMALL);
  }
  std::memcpy(lpofn->lpstrFile, path.c_str(), path.size() + 1);

  size_t slash = path.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.rfind('.');
  lpofn->nFileOffset = static_cast<WORD>(nameStart);
  if (dot == std::string::npos || dot < nameStart)
    lpofn->nFileExtension = static_cast<WORD>(path.size());  // no extension: the terminating NUL
  else if (dot + 1 == path.size())
    lpofn->nFileExtension = 0;  // ends in '.'
  else
    lpofn->nFileExtension = static_cast<WORD>(dot + 1);

  if (lpofn->lpstrFileTitle != nullptr && lpofn->nMaxFileTitle > 0) {
    std::string name = path.substr(nameStart);
    if (name.size() + 1 <= lpofn->nMaxFileTitle)
      std::memcpy(lpofn->lpstrFileTitle, name.c_str(), name.size() + 1);
    else
      lpofn->lpstrFileTitle[0] = '\0';
  }
  return TRUE;
}

DWORD CommDlgExtendedError() {
  std::lock_guard<std::mutex> lock(Dialog().mu);
  return Dialog().lastError;
}
