// A keyboard call of the reference host compared field by field, what it was answered aside.
#pragma once

#include "runtime/host/gui.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kvtest {

inline auto keyboardFields(const kestro::KeyboardCall& c) {
    return std::tie(c.customised, c.kind, c.preset, c.mode, c.prompt, c.hasText2, c.text2,
                    c.hasText3, c.text3, c.reserved, c.code, c.value1, c.value2);
}

inline void expectKeyboardCall(const kestro::KeyboardCall& actual,
                               const kestro::KeyboardCall& expected) {
    EXPECT_EQ(keyboardFields(actual), keyboardFields(expected));
}

} // namespace kvtest
