#pragma once
// quillory-cli: the coupon service from the command line, over the same
// client as the windows.
#include <iosfwd>
#include <string>
#include <vector>

namespace quillory {

// Runs one command line (without the program name). Returns the exit
// status: 0 on success, 1 when the command failed, 2 for a usage error.
// `in` is what "import -" reads; the second form reads standard input.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text --help prints.
std::string CliHelpText();

} // namespace quillory
