#include "coupons/cli/Cli.h"

#include <iostream>

int main(int argc, char** argv) {
    // The streams buffer on their own: a long listing is not flushed through
    // C stdio piece by piece.
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = quillory::RunCli(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
