#pragma once

// The simulated instrument's configuration from an option string, as the
// editor's KESTRA_EDITOR_SIMULATOR takes it; a bad string fails the test.

#include "sim/SimulatorOptions.h"

#include <gtest/gtest.h>

#include <string>

namespace kestra::testing
{

inline SimulatorConfig configFrom(const std::string& options)
{
    SimulatorConfig config;
    std::string error;
    EXPECT_TRUE(parseSimulatorOptions(options, config, &error)) << error;
    return config;
}

} // namespace kestra::testing
