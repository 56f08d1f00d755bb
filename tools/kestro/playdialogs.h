// The keyboards of the value input as dialogs of the play window, installed as the host's
// keyboard handler (kestro::Gui::setKeyboardHandler).
//
//   keyboard   kind   dialog
//   switch     2      two buttons with the keyboard's two texts (the first text answers "0",
//                     the second "1"; an empty text shows "0" or "1"), and Cancel
//   integer    1      a line edit preset with the value, the range text shown as "Range: lo to
//                     hi" ("any value" when both limits are the same), OK and Cancel
//   decimal    1      the same (the mode tells integer, 1, 3, 5 or 7, from decimal)
//   string     0      a line edit preset with the text, OK and Cancel
//
// The prompt is shown through the current language (a key with a text in it shows the text).
// Nothing is checked here: the value input checks what was entered against its range.
// Cancel answers with the preset text unchanged, which the value input takes as "no change" and
// writes nothing for (a decimal preset is rounded to the places the input shows, so cancelling
// it writes the rounded value when the variable held more places). A keyboard of any other kind
// is not opened (false), and the value input reports it as such.
#pragma once

#include "runtime/host/gui.h"

class QWidget;

namespace kestro::play {

//! Object names of the dialog's parts, for tests and style sheets.
constexpr const char* kKeyboardDialog = "keyboard";
constexpr const char* kKeyboardText = "keyboardText";
constexpr const char* kSwitchFirst = "switchFirst";
constexpr const char* kSwitchSecond = "switchSecond";

//! Asks the operator with a modal dialog and returns the answer for the keyboard call.
KeyboardAnswer askKeyboard(const KeyboardCall& call, QWidget* parent);

} // namespace kestro::play
