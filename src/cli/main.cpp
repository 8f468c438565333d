// kitemail-cli-qt: the engine of Kitemail Pro without windows, every
// command of kitemail-cli (which runs `convert` itself and hands the rest
// here, see launcher.cpp).
//
//   kitemail-cli [--data-dir DIR] COMMAND [ARGS...]
//
// Commands live in their own files and are listed in commands.cpp.

#include "cli/command.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail::cli {
namespace {

void PrintToolHelp(std::FILE* out)
{
    std::fprintf(out,
                 "Usage: %s [--data-dir DIR] COMMAND [ARGS...]\n"
                 "\n"
                 "Sets up, counts, converts and sends mail for Japanese mobile phones as\n"
                 "Kitemail Pro does.\n"
                 "\n"
                 "Commands:\n",
                 kToolName.data());
    for (const Command& c : Commands()) {
        std::fprintf(out, "  %-10.*s %.*s\n", static_cast<int>(c.name.size()), c.name.data(),
                     static_cast<int>(c.summary.size()), c.summary.data());
    }
    std::fprintf(out,
                 "\n"
                 "Options:\n"
                 "  --data-dir DIR  folder of Kiteml.ini, Signature.txt and the mail history\n"
                 "                  (default: $KITEMAIL_HOME, else ~/.local/share/kitemail;\n"
                 "                  the program's folder when it holds a Kiteml.ini)\n"
                 "  --help          this text; COMMAND --help describes one command\n"
                 "  --version       the program version\n");
}

int UsageFailure(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kToolName.data(), message.c_str(), kToolName.data());
    return kExitUsage;
}

const Command* FindCommand(std::string_view name)
{
    for (const Command& c : Commands()) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

int Main(int argc, char** argv)
{
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    CommandContext context;
    std::size_t i = 0;
    while (i < args.size() && args[i].starts_with("-")) {
        const std::string_view a = args[i];
        if (a == "--help" || a == "-h") {
            PrintToolHelp(stdout);
            return kExitOk;
        }
        if (a == "--version") {
            std::printf("%s %s\n", kToolName.data(), QCoreApplication::applicationVersion().toUtf8().constData());
            return kExitOk;
        }
        if (a == "--data-dir") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return UsageFailure("--data-dir needs a folder");
            }
            context.dataDir = std::filesystem::path(args[i + 1]);
            i += 2;
        } else if (a.starts_with("--data-dir=")) {
            const std::string_view dir = a.substr(a.find('=') + 1);
            if (dir.empty()) {
                return UsageFailure("--data-dir needs a folder");
            }
            context.dataDir = std::filesystem::path(dir);
            ++i;
        } else {
            return UsageFailure("unknown option '" + std::string(a) + "'");
        }
    }
    if (i >= args.size()) {
        return UsageFailure("no command given");
    }
    if (args[i] == "help") {
        if (i + 1 >= args.size()) {
            PrintToolHelp(stdout);
            return kExitOk;
        }
        const Command* c = FindCommand(args[i + 1]);
        if (c == nullptr) {
            return UsageFailure("unknown command '" + std::string(args[i + 1]) + "'");
        }
        std::fwrite(c->help.data(), 1, c->help.size(), stdout);
        return kExitOk;
    }
    const Command* command = FindCommand(args[i]);
    if (command == nullptr) {
        return UsageFailure("unknown command '" + std::string(args[i]) + "'");
    }
    context.args = std::span<const std::string_view>(args).subspan(i + 1);
    return RunCommand(*command, context);
}

} // namespace
} // namespace kitemail::cli

int main(int argc, char** argv)
{
    // Gives the engine the program's own folder (the data directory rule)
    // and Qt's text codecs; no event loop runs.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kitemail-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.50"));
    return kitemail::cli::FinishOutput(kitemail::cli::Main(argc, argv));
}
