// libFuzzer target for the workspace reader: any bytes, never a write outside the tables.
// Build with clang: cmake -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DTARSEL_FUZZ=ON

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "workspace/WorkspaceReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto ws = std::make_unique<tarsel::Workspace>();
    tarsel::LoadLog log;
    tarsel::ReadWorkspaceText(std::string_view(reinterpret_cast<const char*>(data), size),
                              "fuzz.tsw", *ws, log);
    if (ws->LastMolecule >= tarsel::MAX_MOLECULES) __builtin_trap();
    return 0;
}
