// SPDX-License-Identifier: MIT
// The COM stream on global memory. The stream reads and writes the block in
// place (no copy of memory handed in), grows it on writes past the end, and
// frees it with the last reference when asked to.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "LumoPlatform.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_ISequentialStream = {0x0c733a30, 0x2a1c, 0x11ce, {0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d}};
const IID IID_IStream = {0x0000000c, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

bool SameIid(const IID& a, const IID& b) { return std::memcmp(&a, &b, sizeof(IID)) == 0; }

class HGlobalStream final : public IStream {
 public:
  HGlobalStream(HGLOBAL memory, bool deleteOnRelease) : memory_(memory), deleteOnRelease_(deleteOnRelease) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
    if (!ppvObject) return E_POINTER;
    if (SameIid(riid, IID_IUnknown) || SameIid(riid, IID_ISequentialStream) || SameIid(riid, IID_IStream)) {
      *ppvObject = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }

  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) {
      if (deleteOnRelease_) GlobalFree(memory_);
      delete this;
    }
    return left;
  }

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    ULONGLONG size = GlobalSize(memory_);
    ULONG count = 0;
    if (position_ < size) count = ULONG(std::min<ULONGLONG>(cb, size - position_));
    if (count) {
      auto* data = static_cast<unsigned char*>(GlobalLock(memory_));
      if (!data) return E_FAIL;
      std::memcpy(pv, data + position_, count);
      GlobalUnlock(memory_);
      position_ += count;
    }
    if (pcbRead) *pcbRead = count;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    if (cb == 0) return S_OK;
    ULONGLONG end = position_ + cb;
    if (end > GlobalSize(memory_)) {
      ULARGE_INTEGER newSize;
      newSize.QuadPart = end;
      HRESULT hr = SetSize(newSize);
      if (FAILED(hr)) return STG_E_MEDIUMFULL;
    }
    auto* data = static_cast<unsigned char*>(GlobalLock(memory_));
    if (!data) return E_FAIL;
    std::memcpy(data + position_, pv, cb);
    GlobalUnlock(memory_);
    position_ = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override {
    LONGLONG base;
    switch (dwOrigin) {
      case STREAM_SEEK_SET:
        base = 0;
        break;
      case STREAM_SEEK_CUR:
        base = LONGLONG(position_);
        break;
      case STREAM_SEEK_END:
        base = LONGLONG(GlobalSize(memory_));
        break;
      default:
        return STG_E_INVALIDFUNCTION;
    }
    LONGLONG target;
    if (__builtin_add_overflow(base, dlibMove.QuadPart, &target) || target < 0) return STG_E_INVALIDFUNCTION;
    position_ = ULONGLONG(target);
    if (plibNewPosition) plibNewPosition->QuadPart = position_;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override {
    if (libNewSize.QuadPart > ULONGLONG(SIZE_T(-1)) / 2) return E_OUTOFMEMORY;
    // Bytes between the old end and a write beyond it read as zero. A fixed
    // block may move, and with it its handle.
    HGLOBAL moved = GlobalReAlloc(memory_, SIZE_T(libNewSize.QuadPart), GMEM_MOVEABLE | GMEM_ZEROINIT);
    if (!moved) return E_OUTOFMEMORY;
    memory_ = moved;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override {
    if (pcbRead) pcbRead->QuadPart = 0;
    if (pcbWritten) pcbWritten->QuadPart = 0;
    if (!pstm) return STG_E_INVALIDPOINTER;
    ULONGLONG size = GlobalSize(memory_);
    ULONGLONG count = position_ < size ? std::min<ULONGLONG>(cb.QuadPart, size - position_) : 0;
    ULONGLONG written = 0;
    HRESULT hr = S_OK;
    while (written < count) {
      ULONG chunk = ULONG(std::min<ULONGLONG>(count - written, 1u << 20));
      auto* data = static_cast<unsigned char*>(GlobalLock(memory_));
      if (!data) return E_FAIL;
      ULONG done = 0;
      hr = pstm->Write(data + position_ + written, chunk, &done);
      GlobalUnlock(memory_);
      written += done;
      if (FAILED(hr) || done != chunk) break;
    }
    position_ += written;
    if (pcbRead) pcbRead->QuadPart = written;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return hr;
  }

  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return STG_E_INVALIDFUNCTION;
  }

  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD) override {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    std::memset(pstatstg, 0, sizeof(*pstatstg));
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = GlobalSize(memory_);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (ppstm) *ppstm = nullptr;
    return E_NOTIMPL;
  }

 private:
  ~HGlobalStream() = default;

  HGLOBAL memory_;
  bool deleteOnRelease_;
  std::atomic<ULONG> references_{1};
  ULONGLONG position_ = 0;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  HGLOBAL memory = hGlobal;
  if (!memory) {
    // A stream made without memory always owns the block it makes.
    memory = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (!memory) return E_OUTOFMEMORY;
  } else if (!GlobalLock(memory)) {
    return E_INVALIDARG;
  } else {
    GlobalUnlock(memory);
  }
  *ppstm = new HGlobalStream(memory, fDeleteOnRelease != FALSE);
  return S_OK;
}
