#pragma once
// Golden pairs: tests/data/AREA/NAME is an input and NAME.expected beside it
// what the code must make of it, byte for byte. A test runs one row per
// pair, named after the input; a fault found later becomes one more pair
// named after what broke.
//
// With KITEMAIL_UPDATE_GOLDEN=1 in the environment a mismatch rewrites the
// .expected file instead of failing; read the diff before committing it.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace kitemail::test {

// The inputs of an area, sorted.
[[nodiscard]] std::vector<std::string> GoldenNames(std::string_view area);

[[nodiscard]] std::filesystem::path GoldenPath(std::string_view area, std::string_view name);
[[nodiscard]] std::string GoldenInput(std::string_view area, std::string_view name);

// Compares actual with NAME.expected, or rewrites it in update mode.
void ExpectGolden(std::string_view area, std::string_view name, const std::string& actual);

// The row name gtest shows: the input's name.
struct GoldenRowName {
    std::string operator()(const ::testing::TestParamInfo<std::string>& info) const { return info.param; }
};

} // namespace kitemail::test
