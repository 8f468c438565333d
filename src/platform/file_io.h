#pragma once
// Whole-file reads and full writes on file descriptors, retrying what the
// system interrupts or cuts short.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kitemail {

// Everything up to the end of fd. False on a read error, errno kept.
[[nodiscard]] bool ReadAllFrom(int fd, std::string& data);

// Every byte, however many writes it takes. False on a write error, errno kept.
[[nodiscard]] bool WriteAllTo(int fd, std::string_view bytes);

// A whole file: nullopt with an empty reason when it does not exist, nullopt
// with the system's reason when it exists but cannot be read.
[[nodiscard]] std::optional<std::string> ReadWholeFile(const std::filesystem::path& path, std::string& reason);

// The whole text as a signed 32-bit decimal number, nothing before or after.
[[nodiscard]] std::optional<std::int32_t> ParseDecimal(std::string_view text);

} // namespace kitemail
