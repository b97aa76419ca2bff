// SPDX-License-Identifier: MIT
// A folder of a test's own: new and empty, under the system's temporary
// folder (TMPDIR natively, the prefix's Temp under Wine), with a random name
// so that parallel runs (other build trees, the sanitizer and Windows
// builds, other users) never share one; removed with all it holds when the
// object goes.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace lumo::test {

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& stem) {
    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path();
    std::random_device device;
    std::mt19937_64 random((uint64_t(device()) << 32) ^ device() ^
                           uint64_t(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = stem + "-";
      for (uint64_t bits = random(), i = 0; i < 8; ++i, bits >>= 5)
        name += "abcdefghijklmnopqrstuvwxyz012345"[bits & 31];
      std::error_code error;
      // Creating it is what claims the name: false when it was there already.
      if (fs::create_directory(base / name, error)) {
        path_ = base / name;
        return;
      }
    }
    throw std::runtime_error("no scratch folder could be made under " + base.string());
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // The path of `name` inside the folder, as a string for the Win32 calls.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace lumo::test
