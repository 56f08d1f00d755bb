// Fixture that gives each test a host in its start-up state.
#pragma once

#include "runtime/host/host.h"

#include <gtest/gtest.h>

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { kestro::resetHost(); }
    void TearDown() override { kestro::resetHost(); }
};
