// tarsel-gen: writes example runs (a workspace file and its trajectory).

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/ExampleRun.h"

namespace {

int Usage() {
    std::fprintf(
        stderr,
        "usage: tarsel-gen water BASE [FRAMES]   the bundled example (BASE.tsw, BASE.xyz)\n"
        "       tarsel-gen largest BASE [FRAMES] 500 molecules of 100 atoms\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return Usage();
    const std::string kind = argv[1];
    tarsel::examples::RunSpec recipe;
    if (kind == "water") {
        recipe = tarsel::examples::WaterExample();
    } else if (kind == "largest") {
        recipe = tarsel::examples::LargestWorkspace(20);
    } else {
        return Usage();
    }
    if (argc == 4) {
        recipe.Frames = std::atoi(argv[3]);
        if (recipe.Frames < 1) return Usage();
    }
    std::string error;
    if (!tarsel::examples::WriteRun(tarsel::examples::GenerateRun(recipe), argv[2], error)) {
        std::fprintf(stderr, "tarsel-gen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
