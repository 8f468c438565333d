#include "process_runner.h"

#include "file_bytes.h"
#include "temp_dir.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace kitemail::test {

// Standard input, output and error are files, so that nothing waits on a
// pipe whatever the program writes or reads first.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options)
{
    const TempDir io;
    const std::string in = io.Write("in", options.input).string();
    const std::string out = (io.path() / "out").string();
    const std::string err = (io.path() / "err").string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(in.c_str(), O_RDONLY | O_CLOEXEC), STDIN_FILENO);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600), STDOUT_FILENO);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600), STDERR_FILENO);
        for (const auto& [name, value] : options.setEnv) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
        if (!options.home.empty()) {
            ::setenv("KITEMAIL_HOME", options.home.c_str(), 1);
        }
        if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) {
            ::_exit(127);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ProcessResult result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadBytes(out);
    result.err = ReadBytes(err);
    return result;
}

ProcessOptions AtHome(const std::filesystem::path& home, std::string input)
{
    ProcessOptions options;
    options.input = std::move(input);
    options.home = home.string();
    return options;
}

ProcessResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options)
{
    return RunProcess(KITEMAIL_CLI_PATH, args, options);
}

} // namespace kitemail::test
