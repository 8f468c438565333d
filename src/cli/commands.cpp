#include "cli/command.h"

#include <array>

namespace kitemail::cli {

// Each command's entry is defined in its own file (cmd_NAME.cpp).
extern const Command kBookCommand;
extern const Command kConfigCommand;
extern const Command kConvertCommand;
extern const Command kCountCommand;
extern const Command kDietCommand;
extern const Command kPreviewCommand;
extern const Command kHistoryCommand;
extern const Command kSendCommand;
extern const Command kTypesCommand;
extern const Command kVerticalCommand;

std::span<const Command> Commands() noexcept
{
    static const std::array table = {kConvertCommand,  kCountCommand,   kSendCommand,   kDietCommand,
                                     kVerticalCommand, kPreviewCommand, kConfigCommand, kTypesCommand,
                                     kBookCommand,     kHistoryCommand};
    return table;
}

} // namespace kitemail::cli
