#include "BenchRuns.h"

#include <unistd.h>

#include <filesystem>

#include "tools/ExampleRun.h"

namespace tarsel::bench {

namespace {

// A folder of generated runs that lives as long as the benchmark process.
class RunFolder {
  public:
    RunFolder()
        : dir_((std::filesystem::temp_directory_path() /
                ("tarsel-bench-" + std::to_string(getpid())))
                   .string()) {
        std::filesystem::create_directories(dir_);
    }
    ~RunFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const std::string& Path() const { return dir_; }

  private:
    std::string dir_;
};

}  // namespace

const std::string& LargestWorkspaceBase() {
    static const RunFolder folder;
    static const std::string base = [] {
        std::string error;
        examples::WriteRun(examples::GenerateRun(examples::LargestWorkspace(20)),
                           folder.Path() + "/largest", error);
        return folder.Path() + "/largest";
    }();
    return base;
}

std::string WaterExample() {
    return std::string(TARSEL_SOURCE_DIR) + "/Examples/water.tsw";
}

}  // namespace tarsel::bench
