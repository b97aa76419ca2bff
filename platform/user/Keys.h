// SPDX-License-Identifier: MIT
// The keys the layer knows, in one table: each line gives the virtual-key
// code, SDL's keycode, and the scan code Windows puts in bits 16-23 of a key
// message's lParam with its extended-key flag (bit 24).
//
// The table is a macro so that the SDL column stays a bare name: the SDL
// backend expands it where SDL's headers are included, every other user
// drops it and needs no SDL. Where two keys share a virtual-key code (left
// and right Shift, Enter and keypad Enter), the first line is what the code
// alone stands for.
#pragma once

#include "LumoPlatform.h"

// KEY(vk, sdlKeycode, scanCode, extended)
#define LUMO_USER_KEYS(KEY)                       \
  KEY('A', SDLK_a, 0x1E, false)                   \
  KEY('B', SDLK_b, 0x30, false)                   \
  KEY('C', SDLK_c, 0x2E, false)                   \
  KEY('D', SDLK_d, 0x20, false)                   \
  KEY('E', SDLK_e, 0x12, false)                   \
  KEY('F', SDLK_f, 0x21, false)                   \
  KEY('G', SDLK_g, 0x22, false)                   \
  KEY('H', SDLK_h, 0x23, false)                   \
  KEY('I', SDLK_i, 0x17, false)                   \
  KEY('J', SDLK_j, 0x24, false)                   \
  KEY('K', SDLK_k, 0x25, false)                   \
  KEY('L', SDLK_l, 0x26, false)                   \
  KEY('M', SDLK_m, 0x32, false)                   \
  KEY('N', SDLK_n, 0x31, false)                   \
  KEY('O', SDLK_o, 0x18, false)                   \
  KEY('P', SDLK_p, 0x19, false)                   \
  KEY('Q', SDLK_q, 0x10, false)                   \
  KEY('R', SDLK_r, 0x13, false)                   \
  KEY('S', SDLK_s, 0x1F, false)                   \
  KEY('T', SDLK_t, 0x14, false)                   \
  KEY('U', SDLK_u, 0x16, false)                   \
  KEY('V', SDLK_v, 0x2F, false)                   \
  KEY('W', SDLK_w, 0x11, false)                   \
  KEY('X', SDLK_x, 0x2D, false)                   \
  KEY('Y', SDLK_y, 0x15, false)                   \
  KEY('Z', SDLK_z, 0x2C, false)                   \
  KEY('0', SDLK_0, 0x0B, false)                   \
  KEY('1', SDLK_1, 0x02, false)                   \
  KEY('2', SDLK_2, 0x03, false)                   \
  KEY('3', SDLK_3, 0x04, false)                   \
  KEY('4', SDLK_4, 0x05, false)                   \
  KEY('5', SDLK_5, 0x06, false)                   \
  KEY('6', SDLK_6, 0x07, false)                   \
  KEY('7', SDLK_7, 0x08, false)                   \
  KEY('8', SDLK_8, 0x09, false)                   \
  KEY('9', SDLK_9, 0x0A, false)                   \
  KEY(VK_F1, SDLK_F1, 0x3B, false)                \
  KEY(VK_F1 + 1, SDLK_F2, 0x3C, false)            \
  KEY(VK_F1 + 2, SDLK_F3, 0x3D, false)            \
  KEY(VK_F4, SDLK_F4, 0x3E, false)                \
  KEY(VK_F1 + 4, SDLK_F5, 0x3F, false)            \
  KEY(VK_F1 + 5, SDLK_F6, 0x40, false)            \
  KEY(VK_F1 + 6, SDLK_F7, 0x41, false)            \
  KEY(VK_F1 + 7, SDLK_F8, 0x42, false)            \
  KEY(VK_F1 + 8, SDLK_F9, 0x43, false)            \
  KEY(VK_F10, SDLK_F10, 0x44, false)              \
  KEY(VK_F11, SDLK_F11, 0x57, false)              \
  KEY(VK_F12, SDLK_F12, 0x58, false)              \
  KEY(VK_ESCAPE, SDLK_ESCAPE, 0x01, false)        \
  KEY(VK_BACK, SDLK_BACKSPACE, 0x0E, false)       \
  KEY(VK_TAB, SDLK_TAB, 0x0F, false)              \
  KEY(VK_RETURN, SDLK_RETURN, 0x1C, false)        \
  KEY(VK_RETURN, SDLK_KP_ENTER, 0x1C, true)       \
  KEY(VK_SPACE, SDLK_SPACE, 0x39, false)          \
  KEY(VK_SHIFT, SDLK_LSHIFT, 0x2A, false)         \
  KEY(VK_SHIFT, SDLK_RSHIFT, 0x36, false)         \
  KEY(VK_CONTROL, SDLK_LCTRL, 0x1D, false)        \
  KEY(VK_CONTROL, SDLK_RCTRL, 0x1D, true)         \
  KEY(VK_MENU, SDLK_LALT, 0x38, false)            \
  KEY(VK_MENU, SDLK_RALT, 0x38, true)             \
  KEY(VK_CAPITAL, SDLK_CAPSLOCK, 0x3A, false)     \
  KEY(VK_PAUSE, SDLK_PAUSE, 0x45, false)          \
  KEY(VK_HOME, SDLK_HOME, 0x47, true)             \
  KEY(VK_UP, SDLK_UP, 0x48, true)                 \
  KEY(VK_PRIOR, SDLK_PAGEUP, 0x49, true)          \
  KEY(VK_LEFT, SDLK_LEFT, 0x4B, true)             \
  KEY(VK_RIGHT, SDLK_RIGHT, 0x4D, true)           \
  KEY(VK_END, SDLK_END, 0x4F, true)               \
  KEY(VK_DOWN, SDLK_DOWN, 0x50, true)             \
  KEY(VK_NEXT, SDLK_PAGEDOWN, 0x51, true)         \
  KEY(VK_INSERT, SDLK_INSERT, 0x52, true)         \
  KEY(VK_DELETE, SDLK_DELETE, 0x53, true)         \
  KEY(VK_NUMPAD0, SDLK_KP_0, 0x52, false)         \
  KEY(VK_NUMPAD0 + 1, SDLK_KP_1, 0x4F, false)     \
  KEY(VK_NUMPAD0 + 2, SDLK_KP_2, 0x50, false)     \
  KEY(VK_NUMPAD0 + 3, SDLK_KP_3, 0x51, false)     \
  KEY(VK_NUMPAD0 + 4, SDLK_KP_4, 0x4B, false)     \
  KEY(VK_NUMPAD0 + 5, SDLK_KP_5, 0x4C, false)     \
  KEY(VK_NUMPAD0 + 6, SDLK_KP_6, 0x4D, false)     \
  KEY(VK_NUMPAD0 + 7, SDLK_KP_7, 0x47, false)     \
  KEY(VK_NUMPAD0 + 8, SDLK_KP_8, 0x48, false)     \
  KEY(VK_NUMPAD0 + 9, SDLK_KP_9, 0x49, false)     \
  KEY(VK_MULTIPLY, SDLK_KP_MULTIPLY, 0x37, false) \
  KEY(VK_ADD, SDLK_KP_PLUS, 0x4E, false)          \
  KEY(VK_SUBTRACT, SDLK_KP_MINUS, 0x4A, false)    \
  KEY(VK_DECIMAL, SDLK_KP_PERIOD, 0x53, false)    \
  KEY(VK_DIVIDE, SDLK_KP_DIVIDE, 0x35, true)      \
  KEY(VK_OEM_1, SDLK_SEMICOLON, 0x27, false)      \
  KEY(VK_OEM_PLUS, SDLK_EQUALS, 0x0D, false)      \
  KEY(VK_OEM_COMMA, SDLK_COMMA, 0x33, false)      \
  KEY(VK_OEM_MINUS, SDLK_MINUS, 0x0C, false)      \
  KEY(VK_OEM_PERIOD, SDLK_PERIOD, 0x34, false)    \
  KEY(VK_OEM_2, SDLK_SLASH, 0x35, false)          \
  KEY(VK_OEM_3, SDLK_BACKQUOTE, 0x29, false)      \
  KEY(VK_OEM_4, SDLK_LEFTBRACKET, 0x1A, false)    \
  KEY(VK_OEM_5, SDLK_BACKSLASH, 0x2B, false)      \
  KEY(VK_OEM_6, SDLK_RIGHTBRACKET, 0x1B, false)   \
  KEY(VK_OEM_7, SDLK_QUOTE, 0x28, false)

namespace lumo::user {

// The scan code of a virtual-key code (0 for codes the table lacks), and
// whether it is an extended key.
int ScanCodeOfVk(int vk, bool* extended);

}  // namespace lumo::user
