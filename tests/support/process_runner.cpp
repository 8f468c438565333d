#include "process_runner.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kitemail::test {
namespace {

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe MakePipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
    }
    return {fds[0], fds[1]};
}

void CloseFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

[[noreturn]] void RunChild(const std::string& program, const std::vector<std::string>& args,
                           const ProcessOptions& options, Pipe in, Pipe out, Pipe err)
{
    ::dup2(in.read, STDIN_FILENO);
    ::dup2(out.write, STDOUT_FILENO);
    ::dup2(err.write, STDERR_FILENO);
    for (const auto& [name, value] : options.setEnv) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    for (const std::string& name : options.unsetEnv) {
        ::unsetenv(name.c_str());
    }
    if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0) {
        ::_exit(127);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

} // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options)
{
    Pipe in = MakePipe();
    Pipe out = MakePipe();
    Pipe err = MakePipe();
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        RunChild(program, args, options, in, out, err);
    }
    CloseFd(in.read);
    CloseFd(out.write);
    CloseFd(err.write);
    ::fcntl(in.write, F_SETFL, O_NONBLOCK);
    // A child that exits early must not kill us with SIGPIPE.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &previous);

    ProcessResult result;
    std::size_t written = 0;
    if (options.input.empty()) {
        CloseFd(in.write);
    }
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    char buf[65536];
    while (out.read >= 0 || err.read >= 0) {
        pollfd fds[3];
        nfds_t n = 0;
        int* owners[3];
        const auto add = [&](int& fd, short events) {
            if (fd >= 0) {
                fds[n] = {fd, events, 0};
                owners[n++] = &fd;
            }
        };
        add(out.read, POLLIN);
        add(err.read, POLLIN);
        add(in.write, POLLOUT);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            ::kill(pid, SIGKILL);
            break;
        }
        const int ready = ::poll(fds, n, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (nfds_t i = 0; i < n && ready > 0; ++i) {
            int& fd = *owners[i];
            if (fds[i].revents == 0) {
                continue;
            }
            if (fd == in.write) {
                const ssize_t put = ::write(fd, options.input.data() + written, options.input.size() - written);
                if (put > 0) {
                    written += static_cast<std::size_t>(put);
                }
                if ((put < 0 && errno != EAGAIN && errno != EINTR) || written == options.input.size()) {
                    CloseFd(fd);
                }
                continue;
            }
            const ssize_t got = ::read(fd, buf, sizeof buf);
            if (got > 0) {
                (fd == out.read ? result.out : result.err).append(buf, static_cast<std::size_t>(got));
            } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
                CloseFd(fd);
            }
        }
    }
    CloseFd(in.write);
    CloseFd(out.read);
    CloseFd(err.read);
    ::sigaction(SIGPIPE, &previous, nullptr);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

ProcessResult RunCli(const std::vector<std::string>& args, const ProcessOptions& options)
{
    return RunProcess(KITEMAIL_CLI_PATH, args, options);
}

} // namespace kitemail::test
