// The command-line tool: `corvale` on the system's Bluetooth, `corvale-demo`
// on the simulated demo neighbourhood; the same commands, options and output.
//
//   radios                              this machine's radios
//   scan [--cache] [--length SECONDS]   an inquiry: the devices in range
//   services ADDRESS [--cache]          a device's services and their records
//   decode [--hex] [FILE|-]             a record's bytes captured elsewhere
//
// Readable text by default, --json (and --xml for services and decode).
// Exit code 0 on success, 1 when a Bluetooth operation failed (the engine's
// error text on standard error), 2 on a usage error.
#pragma once

#include <string>

namespace CorvaleCli {

enum ExitCode : int { kSuccess = 0, kFailed = 1, kUsage = 2 };

// Runs one command line. program: the name in the help and in messages.
// The arguments are UTF-8 (on Windows the caller converts the wide command
// line). Starts and clears the Winsock session itself.
int run(const std::string& program, int argc, const char* const* argv);

}  // namespace CorvaleCli
