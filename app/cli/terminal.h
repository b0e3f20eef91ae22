// The command line's side of a console: whether a stream is a terminal, and
// the progress line of a slow Bluetooth operation.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace CorvaleCli {

// Whether the stream is an interactive terminal (a console on Windows): not a
// pipe, a file or the null device.
bool isTerminal(std::FILE* stream);

// On Windows, consoles show the UTF-8 the program writes; standard input
// gives bytes as they are. Elsewhere nothing to do.
void prepareStreams();

// Runs work on a thread of its own and, while it runs, keeps one line on
// standard error up to date when standard error is a terminal ("what: 3 s",
// with " of about N s" when the expected length is known). Without a
// terminal, work runs on the calling thread and nothing is written. The line
// is wiped when work ends. An exception from work leaves through here. what
// is the program's own text, never a device's.
bool withProgress(const std::string& what, std::optional<std::chrono::seconds> expected,
                  const std::function<bool()>& work);

}  // namespace CorvaleCli
