#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/cli/Cli.h"

namespace tarsel::test {

// What one run of the tool gave: its exit status and what it wrote.
struct CliRun {
    int status = -1;
    std::string out, err;
};

inline CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliRun r;
    r.status = RunCli(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

}  // namespace tarsel::test
