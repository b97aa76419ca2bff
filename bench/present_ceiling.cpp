// SPDX-License-Identifier: MIT
// The present-only ceiling of the frame-rate benchmark: an SDL window of the
// given size that shows its unchanged window surface again and again, the
// way the native layer presents (software surface, no GL), for the given
// seconds. With --fill every frame first writes the whole surface anew (one
// memset), which shows what fresh pixels cost the window system beyond the
// writing itself. Prints one line: presents=N seconds=S fill_seconds=F.
//
// Usage: lumo_present_ceiling [--fill] WIDTH HEIGHT SECONDS
#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const bool fill = argc > 1 && std::strcmp(argv[1], "--fill") == 0;
  if (fill) {
    --argc;
    ++argv;
  }
  const int width = argc > 1 ? std::atoi(argv[1]) : 0;
  const int height = argc > 2 ? std::atoi(argv[2]) : 0;
  const double seconds = argc > 3 ? std::atof(argv[3]) : 0;
  if (argc != 4 || width <= 0 || height <= 0 || width > 16384 || height > 16384 || seconds <= 0) {
    std::fprintf(stderr, "usage: lumo_present_ceiling [--fill] WIDTH HEIGHT SECONDS\n");
    return 2;
  }
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "cannot open a window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Window* window =
      SDL_CreateWindow("present ceiling", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, 0);
  SDL_Surface* screen = window ? SDL_GetWindowSurface(window) : nullptr;
  if (screen == nullptr) {
    std::fprintf(stderr, "cannot open a window: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  // Some picture, so nothing can be skipped as blank.
  for (int y = 0; y < screen->h; ++y)
    std::memset(static_cast<char*>(screen->pixels) + y * screen->pitch, y, screen->pitch);
  using Clock = std::chrono::steady_clock;
  // A moment for the window to be mapped before counting.
  const Clock::time_point settle = Clock::now() + std::chrono::milliseconds(300);
  while (Clock::now() < settle) {
    SDL_PumpEvents();
    SDL_UpdateWindowSurface(window);
  }
  const Clock::time_point start = Clock::now();
  const Clock::time_point end =
      start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  long presents = 0;
  Clock::duration filling{};
  Clock::time_point now = start;
  while (now < end) {
    if (fill) {
      std::memset(screen->pixels, static_cast<int>(presents), static_cast<size_t>(screen->pitch) * screen->h);
      filling += Clock::now() - now;
    }
    SDL_UpdateWindowSurface(window);
    ++presents;
    // Events are read now and then only, so they cost the ceiling nothing.
    if ((presents & 255) == 0) SDL_PumpEvents();
    now = Clock::now();
  }
  std::printf("presents=%ld seconds=%.6f fill_seconds=%.6f\n", presents,
              std::chrono::duration<double>(now - start).count(), std::chrono::duration<double>(filling).count());
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
