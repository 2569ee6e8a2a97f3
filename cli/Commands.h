#pragma once
// The commands of parvex-cli, runnable in-process so tests can drive them.
#include <iosfwd>
#include <string>
#include <vector>

#include "CliSupport.h"

namespace cli {

// Runs one command line (without the program name). Messages go to out and err; the
// return value is the process exit status.
int RunCli(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
           const PasswordSource& passwords);

}  // namespace cli
