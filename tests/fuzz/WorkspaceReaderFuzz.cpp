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
        // In memory where there is such a folder: rewriting a file on ext4 flushes it at close.
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "tarsel-fuzz-XXXXXX").string();
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

// A workspace as the load command prepares it.
const tarsel::Workspace& ClearedWorkspace() {
    static const std::unique_ptr<tarsel::Workspace> cleared = [] {
        auto ws = std::make_unique<tarsel::Workspace>();
        tarsel::ClearMolecules(*ws);
        tarsel::ResetWorkspace(*ws);
        return ws;
    }();
    return *cleared;
}

// Puts back what reading a file can change: the header's values and the molecules up to the
// count read. The rest of the 10 MB table stays cleared; copying it for every input would cost
// more than the read.
void RestoreReadState(tarsel::Workspace& ws, const tarsel::Workspace& cleared) {
    for (int i = 0; i < tarsel::LoadedMolecules(ws); ++i) {
        ws.Molecules[i] = cleared.Molecules[i];
        ws.Bodies[i] = cleared.Bodies[i];
    }
    ws.LastMolecule = cleared.LastMolecule;
    ws.TimeStep = cleared.TimeStep;
    ws.SaveToGraph = cleared.SaveToGraph;
    ws.AveragingTime = cleared.AveragingTime;
    ws.VolumeTime = cleared.VolumeTime;
    ws.VirialTime = cleared.VirialTime;
    ws.ConservationCheckTime = cleared.ConservationCheckTime;
    ws.Cube = cleared.Cube;
    ws.Camera = cleared.Camera;
    ws.Projection = cleared.Projection;
    ws.SelectedMolecule = cleared.SelectedMolecule;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Folder folder;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string workspaceFile = folder.File("in.tsw");
    Write(workspaceFile, bytes);
    Write(folder.File("in.xyz"), bytes);

    // Made once: a viewer's 2000 x 2000 bitmap and a workspace's 500 molecules cost far more
    // than reading most inputs. Before each input they go back to how they were made, so that
    // a failing input fails again on its own.
    static const tarsel::Workspace& cleared = ClearedWorkspace();
    static auto fromText = std::make_unique<tarsel::Workspace>(cleared);
    static tarsel::HeadlessHost host(tarsel::ViewSize{120, 90});
    static tarsel::Viewer viewer(host);
    static const auto madeWorkspace = std::make_unique<tarsel::Workspace>(viewer.Ws());
    static const tarsel::ParamFormState madeForm = viewer.Form();

    tarsel::LoadLog textLog;
    const tarsel::ReadOutcome text =
        tarsel::ReadWorkspaceText(bytes, workspaceFile, *fromText, textLog);
    CheckTables(*fromText);
    RestoreReadState(*fromText, cleared);

    // The load command reads the file through its stream: the same log, the same refusal. Then
    // its first picture and both ends of the trajectory.
    // A refused load leaves the viewer as it was: then there is nothing to put back.
    static bool loadedBefore = false;
    if (loadedBefore) {
        viewer.Ws() = *madeWorkspace;
        viewer.Form() = madeForm;
    }
    host.Messages.clear();
    const tarsel::LoadResult load = viewer.LoadWorkspaceFile(workspaceFile);
    loadedBefore = load.Loaded;
    if (load.Loaded != text.Refusal.empty()) __builtin_trap();
    if (!load.Loaded) {
        if (load.Error.find(text.Refusal) == std::string::npos) __builtin_trap();
        return 0;
    }
    if (viewer.Form().Memo.Text() != "LoadMemo\n" + textLog.Text()) __builtin_trap();
    CheckTables(viewer.Ws());
    viewer.ReadFrame(0);
    viewer.ReadFrame(viewer.Ws().FrameCount);
    viewer.Timer1Timer();
    return 0;
}
