#include "terminal.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace CorvaleCli {

bool isTerminal(std::FILE* stream) {
#ifdef _WIN32
    // _isatty is true for the null device too: ask for a console.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
#else
    return ::isatty(::fileno(stream)) == 1;
#endif
}

void prepareStreams() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
    // A record's raw bytes come through standard input unchanged: no CR LF
    // translation, no end at a 0x1A byte.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
}

bool withProgress(const std::string& what, std::optional<std::chrono::seconds> expected,
                  const std::function<bool()>& work) {
    if (!isTerminal(stderr)) return work();

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, result = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        bool r = false;
        std::exception_ptr e;
        try {
            r = work();
        } catch (...) {
            e = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex);
        result = r;
        failure = e;
        done = true;
        finished.notify_one();
    });

    const auto start = std::chrono::steady_clock::now();
    std::size_t width = 0;
    {
        std::unique_lock<std::mutex> lock(mutex);
        while (!done) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count();
            std::string line = what + ": " + std::to_string(seconds) + " s";
            if (expected) line += " of about " + std::to_string(expected->count()) + " s";
            width = std::max(width, line.size());
            std::fprintf(stderr, "\r%s", line.c_str());
            std::fflush(stderr);
            // The next whole second after the start; the line shows the time
            // that has really passed, however late a wake-up comes.
            finished.wait_until(lock, start + std::chrono::seconds(seconds + 1),
                                [&] { return done; });
        }
    }
    worker.join();
    std::fprintf(stderr, "\r%s\r", std::string(width, ' ').c_str());
    std::fflush(stderr);
    if (failure) std::rethrow_exception(failure);
    return result;
}

}  // namespace CorvaleCli
