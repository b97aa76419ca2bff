// SPDX-License-Identifier: MIT
// Presenting through MIT-SHM images of our own. SDL's window surface puts
// its image and then waits for the X server to finish (XSync), so drawing
// and the server's copy never overlap. Here each window has two images: the
// server copies one (XShmPutImage with a completion event) while the program
// draws the next frame into the other, and an image is written again only
// once its completion has arrived. A server that has already finished with
// the image shown last gets the next frame in that same image, which is the
// one still in the processor's cache.
//
// The images run on a connection of their own, which SDL never reads, so
// the completion events wait there for us; X errors on it are recorded
// rather than ending the process, and end the presenter instead.
//
// Both images must show the same picture to whoever reads the window's
// pixels. Each records the rectangle (a bounding box) drawn into the other
// since it was last brought up to date; when it becomes the one drawn into,
// that rectangle is copied over from the other, except the part the caller
// is about to overwrite. A program that copies its whole frame every time
// thus never pays for a copy.
//
// An 8-bit frame (ShowIndexed) is expanded into the image and put by a
// thread of the presenter's own, from a copy of its indices, while the
// program computes the next one. The server, woken by that thread's put,
// then runs on its processor rather than taking the drawing one's. One
// frame at most is in the thread's hands, and every other call waits until
// it is done, so only one thread at a time uses the connection and the
// images.
#include "user/X11Present.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sched.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "gdi/PaletteRows.h"
#include "user/StoreTuner.h"

namespace lumo::user::x11 {

namespace {

// The server gets this long to finish one image before the presenter gives up.
constexpr int kCompletionTimeoutMs = 5000;

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

RECT Union(const RECT& a, const RECT& b) {
  if (Empty(a)) return b;
  if (Empty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

}  // namespace

struct Buffer {
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  bool attached = false;
  bool pending = false;  // the server may still be reading it
  RECT stale{};          // differs from the current picture here

  uint32_t* Pixels() const { return reinterpret_cast<uint32_t*>(image->data); }
};

struct Presenter::Impl {
  Display* display = nullptr;
  ::Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  GC gc = nullptr;
  int completionType = 0;
  int width = 0, height = 0;
  Buffer buffers[2];
  int current = 0;      // the image drawn into
  bool chosen = false;  // current stays the one drawn into until it is shown
  bool alternate = false;
  StoreTuner tuner;  // how frames are written and put
  std::atomic<int> streamed{0};
  std::atomic<bool> failed{false};  // set by the X error handler too

  // The presenting thread, started with the first 8-bit frame the tuner
  // gives it, and the one frame it may hold.
  std::thread worker;
  bool noThread = false;  // one could not be started
  mutable std::mutex jobMutex;
  mutable std::condition_variable jobChanged;
  bool jobPending = false;
  bool jobLost = false;  // the thread could not show the frame it holds
  bool stopping = false;
  RECT jobRect{};
  std::vector<uint8_t> jobIndices;
  std::unique_ptr<gdi::PaletteTable> jobTable;

  ~Impl();
  bool MakeBuffer(Buffer& b);
  void FreeBuffer(Buffer& b);
  void ReadEvents();
  bool Wait(Buffer& b);
  uint32_t* Pixels(const RECT* overwrite);
  void Changed(const RECT& changed);
  bool Show(const RECT& changed);
  bool StreamStores() const;
  bool Expand(const RECT& r, const uint8_t* rows, ptrdiff_t rowStep, const gdi::PaletteTable& table);
  void Drain() const;
  void Work();
  uint32_t* Prepare(const RECT* overwrite);
  void CatchUp(Buffer& to, const Buffer& from, const RECT* overwrite);
  void CopyRect(uint32_t* to, const uint32_t* from, const RECT& r) const;
  RECT Clip(const RECT& r) const { return Intersect(r, RECT{0, 0, width, height}); }
};

namespace {

// X errors arrive through one handler for the whole process. Those on our
// connections fail that presenter; any other goes on to the handler that
// was there before (SDL's).
std::mutex registryMutex;
std::vector<Presenter::Impl*> registry;
XErrorHandler previousHandler = nullptr;

int OnXError(Display* display, XErrorEvent* event) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    for (Presenter::Impl* impl : registry) {
      if (impl->display == display) {
        impl->failed = true;
        return 0;
      }
    }
  }
  return previousHandler != nullptr ? previousHandler(display, event) : 0;
}

void Register(Presenter::Impl* impl) {
  std::lock_guard<std::mutex> lock(registryMutex);
  static const bool installed = [] {
    previousHandler = XSetErrorHandler(OnXError);
    return true;
  }();
  (void)installed;
  registry.push_back(impl);
}

void Unregister(Presenter::Impl* impl) {
  std::lock_guard<std::mutex> lock(registryMutex);
  std::erase(registry, impl);
}

// LUMO_X11_SHM=0 keeps to SDL's window surface; =alternate draws every
// frame into the other image, so that tests see the images catch up;
// =stream and =cached fix how frames are written instead of timing both.
bool Setting(const char* value) {
  const char* env = std::getenv("LUMO_X11_SHM");
  return env != nullptr && std::strcmp(env, value) == 0;
}

}  // namespace

Presenter::Impl::~Impl() {
  if (worker.joinable()) {
    {
      std::lock_guard<std::mutex> lock(jobMutex);
      stopping = true;
    }
    jobChanged.notify_all();
    worker.join();  // after the frame it holds
  }
  if (display == nullptr) return;
  for (Buffer& b : buffers) FreeBuffer(b);
  if (gc != nullptr) XFreeGC(display, gc);
  // Closing waits for the server, so errors still reach the handler as ours.
  XCloseDisplay(display);
  Unregister(this);
}

bool Presenter::Impl::MakeBuffer(Buffer& b) {
  b = Buffer{};
  b.shm.shmid = -1;
  b.shm.shmaddr = reinterpret_cast<char*>(-1);
  b.image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &b.shm,
                            static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (b.image == nullptr) return false;
  // Rows exactly width pixels apart, 0x00RRGGBB as this processor stores it.
  const bool littleEndian = std::endian::native == std::endian::little;
  if (b.image->bits_per_pixel != 32 || b.image->bytes_per_line != width * 4 ||
      b.image->byte_order != (littleEndian ? LSBFirst : MSBFirst))
    return false;
  b.shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(b.image->bytes_per_line) * height, IPC_CREAT | 0600);
  if (b.shm.shmid < 0) return false;
  b.shm.shmaddr = static_cast<char*>(shmat(b.shm.shmid, nullptr, 0));
  b.shm.readOnly = False;
  if (b.shm.shmaddr == reinterpret_cast<char*>(-1)) {
    shmctl(b.shm.shmid, IPC_RMID, nullptr);
    b.shm.shmid = -1;
    return false;
  }
  b.image->data = b.shm.shmaddr;
  // A remote server cannot attach our memory: that shows as an error here.
  b.attached = XShmAttach(display, &b.shm) != 0;
  XSync(display, False);
  // Marked for removal now, it goes away with its last user even if we crash.
  shmctl(b.shm.shmid, IPC_RMID, nullptr);
  return b.attached && !failed;
}

void Presenter::Impl::FreeBuffer(Buffer& b) {
  if (b.attached) XShmDetach(display, &b.shm);
  if (b.image != nullptr) {
    b.image->data = nullptr;  // not XDestroyImage's to free
    XDestroyImage(b.image);
  }
  if (b.shm.shmaddr != nullptr && b.shm.shmaddr != reinterpret_cast<char*>(-1)) shmdt(b.shm.shmaddr);
  b = Buffer{};
}

void Presenter::Impl::ReadEvents() {
  // Without blocking; errors go to the handler. The socket is read once:
  // every further read would cost a system call that finds nothing.
  for (int queued = XPending(display); !failed && queued > 0; queued = XEventsQueued(display, QueuedAlready)) {
    XEvent e;
    XNextEvent(display, &e);
    if (e.type != completionType) continue;
    const auto& done = reinterpret_cast<const XShmCompletionEvent&>(e);
    for (Buffer& b : buffers)
      if (b.image != nullptr && b.shm.shmseg == done.shmseg) b.pending = false;
  }
}

bool Presenter::Impl::Wait(Buffer& b) {
  if (!b.pending || failed) return !failed;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kCompletionTimeoutMs);
  while (b.pending && !failed) {
    ReadEvents();
    if (!b.pending || failed) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      failed = true;
      break;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
  }
  return !failed;
}

void Presenter::Impl::CopyRect(uint32_t* to, const uint32_t* from, const RECT& r) const {
  if (Empty(r)) return;
  const size_t bytes = static_cast<size_t>(r.right - r.left) * 4;
  for (LONG y = r.top; y < r.bottom; ++y) {
    const size_t at = static_cast<size_t>(y) * width + r.left;
    std::memcpy(to + at, from + at, bytes);
  }
}

void Presenter::Impl::CatchUp(Buffer& to, const Buffer& from, const RECT* overwrite) {
  const RECT s = to.stale;
  to.stale = RECT{};
  if (Empty(s)) return;
  const RECT o = overwrite != nullptr ? Intersect(*overwrite, s) : RECT{};
  if (Empty(o)) {
    CopyRect(to.Pixels(), from.Pixels(), s);
    return;
  }
  // What is stale around the part about to be overwritten: the bands above
  // and below it, and the pieces to its left and right.
  CopyRect(to.Pixels(), from.Pixels(), RECT{s.left, s.top, s.right, o.top});
  CopyRect(to.Pixels(), from.Pixels(), RECT{s.left, o.bottom, s.right, s.bottom});
  CopyRect(to.Pixels(), from.Pixels(), RECT{s.left, o.top, o.left, o.bottom});
  CopyRect(to.Pixels(), from.Pixels(), RECT{o.right, o.top, s.right, o.bottom});
}

Presenter::Presenter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Presenter::~Presenter() = default;

std::unique_ptr<Presenter> Presenter::Open(SDL_Window* window) {
  if (window == nullptr || Setting("0")) return nullptr;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  Display* sdlDisplay = info.info.x11.display;
  if (sdlDisplay == nullptr || !XShmQueryExtension(sdlDisplay)) return nullptr;

  auto impl = std::make_unique<Impl>();
  impl->display = XOpenDisplay(DisplayString(sdlDisplay));
  if (impl->display == nullptr) return nullptr;
  Register(impl.get());
  impl->window = info.info.x11.window;
  XWindowAttributes attributes;
  if (!XShmQueryExtension(impl->display) || !XGetWindowAttributes(impl->display, impl->window, &attributes) ||
      impl->failed)
    return nullptr;
  // SDL gives its windows a DirectColor visual with an identity colour map
  // when the screen has one: pixels mean the same as in TrueColor.
  const Visual* v = attributes.visual;
  if (v == nullptr || (v->c_class != TrueColor && v->c_class != DirectColor) ||
      (attributes.depth != 24 && attributes.depth != 32) || v->red_mask != 0xFF0000 || v->green_mask != 0xFF00 ||
      v->blue_mask != 0xFF)
    return nullptr;
  impl->visual = attributes.visual;
  impl->depth = attributes.depth;
  impl->completionType = XShmGetEventBase(impl->display) + ShmCompletion;
  impl->alternate = Setting("alternate");
  unsigned vary = 0, fixed = 0;
  if (Setting("stream"))
    fixed |= StoreTuner::kStream;
  else if (!Setting("cached"))
    vary |= StoreTuner::kStream;
  // A second thread can only pay where it runs beside the drawing one.
  cpu_set_t cpus;
  const bool twoProcessors = sched_getaffinity(0, sizeof(cpus), &cpus) == 0 && CPU_COUNT(&cpus) >= 2;
  const char* thread = std::getenv("LUMO_X11_THREAD");
  if (thread != nullptr && std::strcmp(thread, "1") == 0)
    fixed |= StoreTuner::kThread;
  else if (twoProcessors && !(thread != nullptr && std::strcmp(thread, "0") == 0))
    vary |= StoreTuner::kThread;
  impl->tuner = StoreTuner(vary, fixed);
  impl->gc = XCreateGC(impl->display, impl->window, 0, nullptr);
  if (impl->gc == nullptr) return nullptr;
  return std::unique_ptr<Presenter>(new Presenter(std::move(impl)));
}

bool Presenter::SetSize(int width, int height, const uint32_t* initial) {
  Impl& p = *impl_;
  p.Drain();
  // The server finishes a put before it sees the detach that follows.
  for (Buffer& b : p.buffers) p.FreeBuffer(b);
  p.current = 0;
  p.chosen = false;
  p.width = width;
  p.height = height;
  if (p.failed || width <= 0 || height <= 0) return false;
  for (Buffer& b : p.buffers) {
    if (!p.MakeBuffer(b)) {
      p.failed = true;
      return false;
    }
    std::memcpy(b.Pixels(), initial, static_cast<size_t>(width) * height * 4);
  }
  return true;
}

uint32_t* Presenter::Impl::Prepare(const RECT* overwrite) {
  Buffer& b = buffers[current];
  if (failed || b.image == nullptr || !Wait(b)) return nullptr;
  CatchUp(b, buffers[current ^ 1], overwrite);
  return b.Pixels();
}

uint32_t* Presenter::Impl::Pixels(const RECT* overwrite) {
  if (!chosen && !failed && !alternate) {
    // The image shown last holds the whole picture and is the one still in
    // the processor's cache: once the server is done with it, drawing goes
    // on there, and the other image is taken only while the server is busy.
    Buffer& last = buffers[current ^ 1];
    if (last.pending) ReadEvents();
    if (last.image != nullptr && !last.pending && Empty(last.stale)) current ^= 1;
  }
  chosen = true;
  return Prepare(overwrite);
}

uint32_t* Presenter::Pixels(const RECT* overwrite) {
  impl_->Drain();
  return impl_->Pixels(overwrite);
}

void Presenter::Impl::Changed(const RECT& changed) {
  Buffer& other = buffers[current ^ 1];
  other.stale = Union(other.stale, Clip(changed));
}

void Presenter::Changed(const RECT& changed) {
  impl_->Drain();
  impl_->Changed(changed);
}

bool Presenter::Impl::Show(const RECT& changed) {
  const RECT r = Clip(changed);
  if (Prepare(nullptr) == nullptr) return false;
  if (Empty(r)) return true;
  Changed(r);
  Buffer& b = buffers[current];
  XShmPutImage(display, window, gc, b.image, r.left, r.top, r.left, r.top, static_cast<unsigned>(r.right - r.left),
               static_cast<unsigned>(r.bottom - r.top), True);
  XFlush(display);
  b.pending = true;
  current ^= 1;
  chosen = false;
  // Counted before the tuner moves on: the way this frame was written.
  if (StreamStores()) ++streamed;
  tuner.Presented(std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
  return !failed;
}

bool Presenter::Show(const RECT& changed) {
  impl_->Drain();
  return impl_->Show(changed);
}

bool Presenter::Impl::StreamStores() const { return tuner.Stream(); }

bool Presenter::StreamStores() const {
  impl_->Drain();
  return impl_->StreamStores();
}

int Presenter::Streamed() const { return impl_->streamed.load(); }

bool Presenter::Impl::Expand(const RECT& r, const uint8_t* rows, ptrdiff_t rowStep, const gdi::PaletteTable& table) {
  uint32_t* pixels = Pixels(&r);
  if (pixels == nullptr) return false;
  gdi::ExpandRows(rows, rowStep, pixels + static_cast<size_t>(r.top) * width + r.left, width, r.right - r.left,
                  r.bottom - r.top, table, StreamStores());
  return Show(r);
}

void Presenter::Impl::Drain() const {
  if (!worker.joinable()) return;
  std::unique_lock<std::mutex> lock(jobMutex);
  jobChanged.wait(lock, [this] { return !jobPending; });
}

void Presenter::Impl::Work() {
  std::unique_lock<std::mutex> lock(jobMutex);
  for (;;) {
    jobChanged.wait(lock, [this] { return jobPending || stopping; });
    if (!jobPending) return;
    lock.unlock();
    // A frame that could not be shown fails the presenter, which the
    // caller's next call finds.
    if (!Expand(jobRect, jobIndices.data(), jobRect.right - jobRect.left, *jobTable)) {
      failed = true;
      jobLost = true;
    }
    lock.lock();
    jobPending = false;
    jobChanged.notify_all();
  }
}

bool Presenter::ShowIndexed(const RECT& rect, const uint8_t* rows, ptrdiff_t rowStep, const gdi::PaletteTable& table) {
  Impl& p = *impl_;
  p.Drain();
  const RECT r = p.Clip(rect);
  if (p.failed || rows == nullptr || r.left != rect.left || r.top != rect.top || r.right != rect.right ||
      r.bottom != rect.bottom)
    return false;
  if (Empty(r)) return true;
  if (!p.tuner.Thread() || p.noThread) return p.Expand(r, rows, rowStep, table);
  if (!p.worker.joinable()) {
    try {
      p.worker = std::thread([&p] { p.Work(); });
    } catch (const std::system_error&) {
      p.noThread = true;  // the process may not start one: this thread does the work
      return p.Expand(r, rows, rowStep, table);
    }
  }
  const size_t w = static_cast<size_t>(r.right - r.left);
  const size_t h = static_cast<size_t>(r.bottom - r.top);
  p.jobIndices.resize(w * h);
  gdi::CopyRowsStreaming(rows, rowStep, p.jobIndices.data(), static_cast<int>(w), static_cast<int>(h));
  if (!p.jobTable) p.jobTable = std::make_unique<gdi::PaletteTable>();
  *p.jobTable = table;
  p.jobRect = r;
  {
    std::lock_guard<std::mutex> lock(p.jobMutex);
    p.jobPending = true;
  }
  p.jobChanged.notify_all();
  return true;
}

void Presenter::CopyOut(uint32_t* out) const {
  const Impl& p = *impl_;
  p.Drain();
  const Buffer& current = p.buffers[p.current];
  // An image not yet brought up to date: the other one holds the picture.
  const Buffer& latest = Empty(current.stale) ? current : p.buffers[p.current ^ 1];
  if (latest.image != nullptr) std::memcpy(out, latest.Pixels(), static_cast<size_t>(p.width) * p.height * 4);
  // A frame the thread could not show is part of the picture all the same.
  if (p.jobLost) {
    const RECT& r = p.jobRect;
    gdi::ExpandRows(p.jobIndices.data(), r.right - r.left, out + static_cast<size_t>(r.top) * p.width + r.left, p.width,
                    r.right - r.left, r.bottom - r.top, *p.jobTable, false);
  }
}

}  // namespace lumo::user::x11
