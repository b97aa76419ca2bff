// SPDX-License-Identifier: MIT
// Global memory as memory streams use it. As on Windows, a fixed block's
// handle is its data pointer, while a moveable block's handle is a record
// that stays the same when the data moves; unknown handles are refused, not
// followed.
#include <cstdlib>
#include <cstring>

#include "LumoPlatform.h"
#include "common/HandleRegistry.h"

namespace {

struct Block {
  unsigned char* data;
  SIZE_T size;
  unsigned locks;
  bool moveable;
};

// Immortal (HandleRegistry.h): other static objects free their memory while
// the process ends.
constinit lumo::platform::HandleRegistry<HGLOBAL, Block*> blocks;

HGLOBAL HandleOf(const Block& block) {
  return block.moveable ? static_cast<HGLOBAL>(const_cast<Block*>(&block)) : block.data;
}

// Runs use on the block behind hMem under the registry's lock, and files
// the block again under its handle afterwards, which moves with the data of
// a fixed block. A handle that names no block answers `failure` with
// ERROR_INVALID_HANDLE.
template <class Result, class Use>
Result WithBlock(HGLOBAL hMem, Result failure, Use use) {
  return blocks.Locked([&](auto& live) -> Result {
    auto it = live.find(hMem);
    if (it == live.end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return failure;
    }
    Block* block = it->second;
    Result result = use(*block);
    if (HandleOf(*block) != hMem) {
      live.erase(it);
      live[HandleOf(*block)] = block;
    }
    return result;
  });
}

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  // A zero-byte block still gets data, so that locking it is valid.
  auto* data = static_cast<unsigned char*>((uFlags & GMEM_ZEROINIT) ? std::calloc(dwBytes ? dwBytes : 1, 1)
                                                                    : std::malloc(dwBytes ? dwBytes : 1));
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* block = new Block{data, dwBytes, 0, (uFlags & GMEM_MOVEABLE) != 0};
  blocks.Set(HandleOf(*block), block);
  return HandleOf(*block);
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  if (!hMem) return nullptr;
  Block* block = blocks.Take(hMem);
  if (!block) {
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
  }
  std::free(block->data);
  delete block;
  return nullptr;
}

HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
  return WithBlock<HGLOBAL>(hMem, nullptr, [&](Block& block) -> HGLOBAL {
    auto* data = static_cast<unsigned char*>(std::realloc(block.data, dwBytes ? dwBytes : 1));
    if (!data) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    if ((uFlags & GMEM_ZEROINIT) && dwBytes > block.size) std::memset(data + block.size, 0, dwBytes - block.size);
    block.data = data;
    block.size = dwBytes;
    return HandleOf(block);
  });
}

LPVOID GlobalLock(HGLOBAL hMem) {
  return WithBlock<LPVOID>(hMem, nullptr, [](Block& block) -> LPVOID {
    ++block.locks;
    return block.data;
  });
}

BOOL GlobalUnlock(HGLOBAL hMem) {
  return WithBlock<BOOL>(hMem, FALSE, [](Block& block) -> BOOL {
    if (block.locks > 0) --block.locks;
    // Windows answers whether the block is still locked.
    return block.locks > 0 ? TRUE : FALSE;
  });
}

SIZE_T GlobalSize(HGLOBAL hMem) {
  return WithBlock<SIZE_T>(hMem, 0, [](Block& block) -> SIZE_T { return block.size; });
}
