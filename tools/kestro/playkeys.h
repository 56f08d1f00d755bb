// Keys of the play window as trigger codes of click actions.
//
// A click action's trigger code is a hot-key word: the low byte a virtual-key code, the high byte
// the modifier flags (Shift 1, Ctrl 2, Alt 4). The play window sends a key press as that word:
//
//   key                        low byte
//   A to Z                     0x41 to 0x5A (the capital letter, with or without Shift)
//   0 to 9                     0x30 to 0x39
//   0 to 9 on the keypad       0x60 to 0x69
//   F1 to F24                  0x70 to 0x87
//   Backspace, Tab             0x08, 0x09
//   Return, Enter              0x0D
//   Escape, Space              0x1B, 0x20
//   Page Up, Page Down         0x21, 0x22
//   End, Home                  0x23, 0x24
//   Left, Up, Right, Down      0x25 to 0x28
//   Insert, Delete             0x2D, 0x2E
//
// Any other key sends nothing. The smallest code is 0x08 and the largest 0x07FF, so a key never
// sends a refresh, a blink tick, a synchronised value, a click (11111) or a forced output update.
#pragma once

#include <Qt>

namespace kestro::play {

//! The trigger code of a key press, or 0 when the key sends nothing.
int triggerCode(int key, Qt::KeyboardModifiers modifiers);

} // namespace kestro::play
