// Keys of the play window as trigger codes of click actions.
#include "tools/kestro/playkeys.h"

namespace kestro::play {

namespace {

struct KeyCode {
    int key;
    int code;
};

const KeyCode kKeys[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},    {Qt::Key_Backtab, 0x09},
    {Qt::Key_Return, 0x0D},    {Qt::Key_Enter, 0x0D},  {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},     {Qt::Key_PageUp, 0x21}, {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},       {Qt::Key_Home, 0x24},   {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},        {Qt::Key_Right, 0x27},  {Qt::Key_Down, 0x28},
    {Qt::Key_Insert, 0x2D},    {Qt::Key_Delete, 0x2E},
};

int virtualKey(int key, bool keypad) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        return key; // Qt's letter keys are the capital letters' codes
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        return keypad ? 0x60 + (key - Qt::Key_0) : key;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return 0x70 + (key - Qt::Key_F1);
    }
    for (const KeyCode& entry : kKeys) {
        if (entry.key == key) {
            return entry.code;
        }
    }
    return 0;
}

} // namespace

int triggerCode(int key, Qt::KeyboardModifiers modifiers) {
    const int low = virtualKey(key, modifiers.testFlag(Qt::KeypadModifier));
    if (low == 0) {
        return 0;
    }
    int flags = 0;
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        flags |= 1;
    }
    if (modifiers.testFlag(Qt::ControlModifier)) {
        flags |= 2;
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        flags |= 4;
    }
    return flags << 8 | low;
}

} // namespace kestro::play
