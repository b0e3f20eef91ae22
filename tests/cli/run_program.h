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
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe");
    if (errorIsTerminal) {
        if (::openpty(&err[0], &err[1], nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        ::fcntl(err[0], F_SETFD, FD_CLOEXEC);
        ::fcntl(err[1], F_SETFD, FD_CLOEXEC);
    } else if (::pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) throw std::runtime_error("cannot start " + program);

    // Feed and drain at once: a program that writes much before it has read
    // all of its input must not block either side.
    ::signal(SIGPIPE, SIG_IGN);
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    Outcome run;
    std::size_t fed = 0;
    int feed = in[1];
    if (input.empty()) ::close(feed), feed = -1;
    int outFd = out[0], errFd = err[0];
    while (feed >= 0 || outFd >= 0 || errFd >= 0) {
        pollfd fds[3] = {{feed, POLLOUT, 0}, {outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll");
        }
        if (feed >= 0 && fds[0].revents) {
            const ssize_t n = ::write(feed, input.data() + fed, input.size() - fed);
            if (n > 0) fed += static_cast<std::size_t>(n);
            if (n < 0 && errno != EAGAIN) fed = input.size();  // the program stopped reading
            if (fed == input.size()) ::close(feed), feed = -1;
        }
        const auto drain = [](int& fd, short revents, std::string& to) {
            if (fd < 0 || revents == 0) return;
            char buffer[65536];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) {
                to.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {  // the end (a terminal gives EIO)
                ::close(fd);
                fd = -1;
            }
        };
        drain(outFd, fds[1].revents, run.out);
        drain(errFd, fds[2].revents, run.err);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

}  // namespace clitest
