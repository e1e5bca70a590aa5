#include "cli/Cli.h"
#include "update/UpdateCheck.h"

#include <iostream>
#include <malloc.h>
#include <unistd.h>

int main(int argc, char** argv) {
    // One short run that handles one large reply: buffers of up to 32 MiB
    // come from the heap and go back to it, so the copies a reply passes
    // through reuse the same memory instead of each mapping (and the kernel
    // clearing) fresh pages; this halves the page faults of a long listing.
    ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    // The streams buffer on their own: a long listing is not flushed through
    // C stdio piece by piece.
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::cout << "quillory-cli " << quillory::VersionText << "\n";
        return 0;
    }
    // Confirmations are asked only of a person at a terminal.
    const bool terminal = ::isatty(STDIN_FILENO) == 1;
    const int status = quillory::RunCli(args, std::cin, std::cout, std::cerr, terminal);
    std::cout.flush();
    return status;
}
