// Fuzz target of the workspace reader and the load command: any bytes as a workspace file, and
// the same bytes as the trajectory beside it. Nothing may be written outside the tables, and
// reading the file through its stream must give what reading its text gives.
//
// With clang and libFuzzer: cmake -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DTARSEL_FUZZ=ON.
// Other builds link it with FuzzReplay.cpp, which runs the committed corpus through it.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "app/HeadlessHost.h"
#include "app/Resets.h"
#include "app/Viewer.h"
#include "workspace/WorkspaceReader.h"

namespace {

void CheckTables(const tarsel::Workspace& ws) {
    if (ws.LastMolecule >= tarsel::MAX_MOLECULES) __builtin_trap();
    for (int i = 0; i <= ws.LastMolecule; ++i) {
        const tarsel::MoleculeRecord& m = ws.Molecules[i];
        if (m.AtomCount > tarsel::MAX_ATOMS) __builtin_trap();
        if (strnlen(m.Name, sizeof m.Name) > tarsel::MAX_NAME_LENGTH) __builtin_trap();
    }
}

// A folder of the process for the input's files, removed at exit.
class Folder {
  public:
    Folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarsel-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const char* name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

void Write(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
}

// A fresh workspace as the load command prepares it.
std::unique_ptr<tarsel::Workspace> FreshWorkspace() {
    auto ws = std::make_unique<tarsel::Workspace>();
    tarsel::ClearMolecules(*ws);
    tarsel::ResetWorkspace(*ws);
    return ws;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string workspaceFile = folder.File("in.tsw");
    Write(workspaceFile, bytes);
    Write(folder.File("in.xyz"), bytes);

    auto fromText = FreshWorkspace();
    tarsel::LoadLog textLog;
    const tarsel::ReadOutcome text =
        tarsel::ReadWorkspaceText(bytes, workspaceFile, *fromText, textLog);
    CheckTables(*fromText);

    auto fromFile = FreshWorkspace();
    tarsel::LoadLog fileLog;
    const tarsel::ReadOutcome file = tarsel::ReadWorkspace(workspaceFile, *fromFile, fileLog);
    if (fileLog.Text() != textLog.Text() || file.Refusal != text.Refusal) __builtin_trap();

    // The load command, its first picture and both ends of the trajectory.
    tarsel::HeadlessHost host;
    tarsel::Viewer viewer(host);
    if (viewer.LoadWorkspaceFile(workspaceFile).Loaded) {
        CheckTables(viewer.Ws());
        viewer.ReadFrame(0);
        viewer.ReadFrame(viewer.Ws().FrameCount);
        viewer.Timer1Timer();
    }
    return 0;
}
