// SPDX-License-Identifier: MIT
#include "web/Downloads.h"

#include <dirent.h>
#include <emscripten.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "web/WebPage.h"

namespace {

// clang-format off
// Hands the bytes to the browser as a download named `name`.
EM_JS(void, LumoDownload, (const uint8_t* bytes, int size, const char* name, const char* type), {
  if (typeof document == "undefined") return;
  var blob = new Blob([HEAPU8.slice(bytes, bytes + size)], {type: UTF8ToString(type)});
  var url = URL.createObjectURL(blob);
  var link = document.createElement("a");
  link.href = url;
  link.download = UTF8ToString(name);
  link.style.display = "none";
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(function() { URL.revokeObjectURL(url); }, 60000);
});
// clang-format on

bool expected = false;

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// Read with stdio: a file stream would bring the whole of the library's
// locales into the page's code. A file that cannot be read whole is not offered.
bool ReadWhole(const std::string& path, std::vector<uint8_t>& bytes) {
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) return false;
  uint8_t chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
  const bool whole = std::ferror(in) == 0;
  std::fclose(in);
  return whole;
}

void Offer(const std::string& path, const std::string& name) {
  std::vector<uint8_t> bytes;
  if (ReadWhole(path, bytes)) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    LumoDownload(bytes.data(), static_cast<int>(bytes.size()), name.c_str(),
                 EndsWith(lower, ".bmp") ? "image/bmp" : "application/octet-stream");
  }
}

}  // namespace

namespace lumo::web {

std::string DownloadPath(const std::string& answer) {
  std::string name = answer;
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  const size_t first = name.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  name = name.substr(first, name.find_last_not_of(" \t") - first + 1);
  if (name == "." || name == "..") return {};
  return std::string(kDownloadFolder) + "/" + name;
}

void ExpectDownload() {
  mkdir(kDownloadFolder, 0777);
  expected = true;
}

void OfferSavedFiles() {
  if (!expected) return;
  expected = false;
  DIR* folder = opendir(kDownloadFolder);
  if (folder == nullptr) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  for (const std::string& name : names) {
    const std::string path = std::string(kDownloadFolder) + "/" + name;
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) Offer(path, name);
    unlink(path.c_str());
  }
}

}  // namespace lumo::web
