// A keyboard call of the reference host, compared field by field.
#pragma once

#include "runtime/host/gui.h"

#include <gtest/gtest.h>

namespace kvtest {

inline void expectKeyboardCall(const kestro::KeyboardCall& actual,
                               const kestro::KeyboardCall& expected) {
    EXPECT_EQ(actual.customised, expected.customised);
    EXPECT_EQ(actual.kind, expected.kind);
    EXPECT_EQ(actual.preset, expected.preset);
    EXPECT_EQ(actual.mode, expected.mode);
    EXPECT_EQ(actual.prompt, expected.prompt);
    EXPECT_EQ(actual.hasText2, expected.hasText2);
    EXPECT_EQ(actual.text2, expected.text2);
    EXPECT_EQ(actual.hasText3, expected.hasText3);
    EXPECT_EQ(actual.text3, expected.text3);
    EXPECT_EQ(actual.reserved, expected.reserved);
    EXPECT_EQ(actual.code, expected.code);
    EXPECT_EQ(actual.value1, expected.value1);
    EXPECT_EQ(actual.value2, expected.value2);
}

} // namespace kvtest
