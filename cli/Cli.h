#pragma once
// quillory-cli: the coupon service from the command line, over the same
// client as the windows.
#include <iosfwd>
#include <string>
#include <vector>

namespace quillory {

// Runs one command line (without the program name). Returns the exit
// status: 0 on success, 1 when the command failed, 2 for a usage error.
// `in` is what "import -" reads, and where the answer to a confirmation
// comes from when `terminal` says a person is there to ask ("delete all"
// without --yes); the second form reads standard input and asks no one.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, bool terminal = false);
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text --help prints.
std::string CliHelpText();

} // namespace quillory
