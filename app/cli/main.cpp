// tarsel-cli: the viewer's operations without a display.

#include <iostream>
#include <string>
#include <vector>

#include "app/cli/Cli.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tarsel::RunCli(args, std::cout, std::cerr);
}
