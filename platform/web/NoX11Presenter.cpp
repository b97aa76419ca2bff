// SPDX-License-Identifier: MIT
// The X11 presenter has no place on a page: the web backend never opens one
// (its openPresenter answers null), and these definitions only satisfy the
// window half's references to it.
#include "user/X11Present.h"

namespace lumo::user::x11 {

struct Presenter::Impl {};

std::unique_ptr<Presenter> Presenter::Open(SDL_Window*) { return nullptr; }
Presenter::Presenter(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Presenter::~Presenter() = default;
bool Presenter::SetSize(int, int, const uint32_t*) { return false; }
uint32_t* Presenter::Pixels(const RECT*) { return nullptr; }
void Presenter::Changed(const RECT&) {}
bool Presenter::Show(const RECT&) { return false; }
void Presenter::CopyOut(uint32_t*) const {}
bool Presenter::StreamStores() const { return false; }
bool Presenter::ShowIndexed(const RECT&, const uint8_t*, ptrdiff_t, const gdi::PaletteTable&) { return false; }
int Presenter::Streamed() const { return 0; }

}  // namespace lumo::user::x11
