// Runs a program as a process of its own, as a shell would: its standard
// input from a string, its standard output and error captured, and its real
// exit code. Standard error can be a terminal (a pseudo-terminal whose other
// side the test reads), to see what the program writes only there.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace clitest {

struct Outcome {
    int exitCode = -1;  // 128 + the signal when a signal ended it
    std::string out, err;
};

inline Outcome runProgram(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input = {}, bool errorIsTerminal = false) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) ||
        (errorIsTerminal ? ::openpty(&err[0], &err[1], nullptr, nullptr, nullptr)
                         : ::pipe2(err, O_CLOEXEC)))
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (auto [from, to] : {std::pair{in[0], 0}, {out[1], 1}, {err[1], 2}})
        posix_spawn_file_actions_adddup2(&actions, from, to);
    // The terminal's ends are not close-on-exec: the child closes its copies.
    for (int fd : {err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1], err[1]}) ::close(fd);
    if (spawned != 0) throw std::runtime_error("cannot start " + program);

    // Feed and drain at once, so that neither side blocks the other.
    ::signal(SIGPIPE, SIG_IGN);
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    Outcome outcome;
    std::size_t fed = 0;
    int fds[3] = {in[1], out[0], err[0]};
    std::string* into[3] = {nullptr, &outcome.out, &outcome.err};
    if (input.empty()) ::close(fds[0]), fds[0] = -1;
    while (fds[0] >= 0 || fds[1] >= 0 || fds[2] >= 0) {
        pollfd polled[3] = {{fds[0], POLLOUT, 0}, {fds[1], POLLIN, 0}, {fds[2], POLLIN, 0}};
        if (::poll(polled, 3, -1) < 0 && errno != EINTR) throw std::runtime_error("poll");
        if (fds[0] >= 0 && polled[0].revents) {
            const ssize_t n = ::write(fds[0], input.data() + fed, input.size() - fed);
            fed = n > 0 ? fed + static_cast<std::size_t>(n) : errno == EAGAIN ? fed : input.size();
            if (fed == input.size()) ::close(fds[0]), fds[0] = -1;
        }
        for (int i = 1; i < 3; ++i) {
            if (fds[i] < 0 || polled[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t n = ::read(fds[i], buffer, sizeof buffer);
            if (n > 0)
                into[i]->append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)  // the end (a terminal's is EIO)
                ::close(fds[i]), fds[i] = -1;
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

}  // namespace clitest
