#include "cli/command.h"

#include <array>

namespace kitemail::cli {

// Each command's entry is defined in its own file (cmd_NAME.cpp).
extern const Command kConvertCommand;
extern const Command kCountCommand;

std::span<const Command> Commands() noexcept
{
    static const std::array<Command, 2> table = {kConvertCommand, kCountCommand};
    return table;
}

} // namespace kitemail::cli
