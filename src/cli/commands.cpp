#include "cli/command.h"

#include <array>

namespace kitemail::cli {

// Each command's entry is defined in its own file (cmd_NAME.cpp).
extern const Command kConvertCommand;
extern const Command kCountCommand;
extern const Command kSendCommand;

std::span<const Command> Commands() noexcept
{
    static const std::array<Command, 3> table = {kConvertCommand, kCountCommand, kSendCommand};
    return table;
}

} // namespace kitemail::cli
