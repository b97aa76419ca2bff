// SPDX-License-Identifier: MIT
// Making, putting and freeing one shared-memory image.
#include "user/X11ShmImage.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>

#include "user/PresentFaults.h"

namespace lumo::user {

namespace {

char* const kNoMemory = reinterpret_cast<char*>(-1);

}  // namespace

std::unique_ptr<X11ShmImage> X11ShmImage::Make(X11Connection& connection, int width, int height) {
  if (width <= 0 || height <= 0 || connection.Failed() || Strikes(Faults().imageCreation)) return nullptr;
  std::unique_ptr<X11ShmImage> image(new X11ShmImage(connection));
  XShmSegmentInfo& shm = image->shm_;
  shm.shmid = -1;
  shm.shmaddr = kNoMemory;
  Display* display = connection.display();
  image->image_ = XShmCreateImage(display, connection.visual(), static_cast<unsigned>(connection.depth()), ZPixmap,
                                  nullptr, &shm, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XImage* x = image->image_;
  if (x == nullptr) return nullptr;
  // Rows exactly width pixels apart, 0x00RRGGBB as this processor stores it.
  const bool littleEndian = std::endian::native == std::endian::little;
  if (x->bits_per_pixel != 32 || x->bytes_per_line != width * 4 ||
      x->byte_order != (littleEndian ? LSBFirst : MSBFirst))
    return nullptr;
  shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(x->bytes_per_line) * height, IPC_CREAT | 0600);
  if (shm.shmid < 0) return nullptr;
  shm.shmaddr = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
  shm.readOnly = False;
  if (shm.shmaddr == kNoMemory) {
    shmctl(shm.shmid, IPC_RMID, nullptr);
    return nullptr;
  }
  x->data = shm.shmaddr;
  // A remote server cannot attach our memory: that shows as an error here.
  image->attached_ = XShmAttach(display, &shm) != 0;
  XSync(display, False);
  // Marked for removal now, it goes away with its last user even if we crash.
  shmctl(shm.shmid, IPC_RMID, nullptr);
  if (!image->attached_ || connection.Failed()) return nullptr;
  return image;
}

X11ShmImage::~X11ShmImage() {
  Display* display = connection_.display();
  // The server finishes a put before it sees the detach.
  if (attached_) XShmDetach(display, &shm_);
  if (image_ != nullptr) {
    image_->data = nullptr;  // not XDestroyImage's to free
    XDestroyImage(image_);
  }
  if (shm_.shmaddr != nullptr && shm_.shmaddr != kNoMemory) shmdt(shm_.shmaddr);
}

void X11ShmImage::Put(const RECT& r) {
  XShmPutImage(connection_.display(), connection_.window(), connection_.gc(), image_, r.left, r.top, r.left, r.top,
               static_cast<unsigned>(r.right - r.left), static_cast<unsigned>(r.bottom - r.top), True);
  XFlush(connection_.display());
}

}  // namespace lumo::user
