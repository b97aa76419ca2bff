// SPDX-License-Identifier: MIT
// Global memory as memory streams use it. As on Windows, a fixed block's
// handle is its data pointer, while a moveable block's handle is a record
// that stays the same when the data moves; unknown handles are refused, not
// followed.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "LumoPlatform.h"

namespace {

struct Block {
  unsigned char* data;
  SIZE_T size;
  unsigned locks;
  bool moveable;
};

struct BlockTable {
  std::mutex lock;
  std::unordered_map<HGLOBAL, Block*> live;
};

// Never destroyed: other static objects call in while the process ends.
BlockTable& Table() {
  static BlockTable* table = new BlockTable;
  return *table;
}

// Looks the handle up; the caller holds the table's lock.
Block* Find(BlockTable& table, HGLOBAL handle) {
  auto it = table.live.find(handle);
  return it == table.live.end() ? nullptr : it->second;
}

HGLOBAL HandleOf(Block* block) { return block->moveable ? static_cast<HGLOBAL>(block) : block->data; }

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
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  table.live[HandleOf(block)] = block;
  return HandleOf(block);
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  if (!hMem) return nullptr;
  BlockTable& table = Table();
  Block* block;
  {
    std::lock_guard<std::mutex> guard(table.lock);
    block = Find(table, hMem);
    if (!block) {
      SetLastError(ERROR_INVALID_HANDLE);
      return hMem;
    }
    table.live.erase(hMem);
  }
  std::free(block->data);
  delete block;
  return nullptr;
}

HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  Block* block = Find(table, hMem);
  if (!block) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto* data = static_cast<unsigned char*>(std::realloc(block->data, dwBytes ? dwBytes : 1));
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if ((uFlags & GMEM_ZEROINIT) && dwBytes > block->size) std::memset(data + block->size, 0, dwBytes - block->size);
  table.live.erase(hMem);
  block->data = data;
  block->size = dwBytes;
  table.live[HandleOf(block)] = block;
  return HandleOf(block);
}

namespace {

// Runs Use on the block behind hMem under the table's lock; a handle that
// names no block answers Failure with ERROR_INVALID_HANDLE.
template <class Result, class Use>
Result WithBlock(HGLOBAL hMem, Result Failure, Use use) {
  BlockTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  Block* block = Find(table, hMem);
  if (!block) {
    SetLastError(ERROR_INVALID_HANDLE);
    return Failure;
  }
  return use(*block);
}

}  // namespace

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
