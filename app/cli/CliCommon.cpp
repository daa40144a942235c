#include "app/cli/CliCommon.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "export/SafeFile.h"
#include "workspace/CText.h"

namespace tarsel::cli {

int Fail(std::ostream& err, const std::string& problem) {
    err << "tarsel-cli: " << problem << "\n";
    return 1;
}

// A file the command writes (-o): whole, or not at all.
int WriteOutput(const std::string& path, std::string_view bytes, std::ostream& err) {
    const FileWriteResult result = WriteFileSafely(path, bytes);
    return result.Ok() ? 0 : Fail(err, result.Error);
}

// Qt wants a private runtime folder and warns on stderr when the session has none (a cluster
// job, ssh, cron). Without one, the tool lends Qt a fresh folder for as long as it runs.
class RuntimeFolder {
  public:
    RuntimeFolder() {
        if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarsel-cli-runtime-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return;  // then Qt finds its own way
        path_ = pattern;
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(path_));
    }
    ~RuntimeFolder() {
        if (path_.empty()) return;
        qunsetenv("XDG_RUNTIME_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    RuntimeFolder(const RuntimeFolder&) = delete;
    RuntimeFolder& operator=(const RuntimeFolder&) = delete;

  private:
    std::string path_;
};

// The folder is made before the application and removed after it.
class HeadlessGuiApplication : private RuntimeFolder, public QGuiApplication {
  public:
    HeadlessGuiApplication(int& argc, char** argv) : QGuiApplication(argc, argv) {}
};

// Text needs fonts, and fonts need a QGuiApplication; one on the offscreen platform is made
// for the drawing commands unless the caller runs one already.
std::unique_ptr<QGuiApplication> EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tarsel-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<HeadlessGuiApplication>(argc, argv);
}

std::string FrameProblem(Viewer& viewer, std::int64_t frame, bool endToo) {
    if (!viewer.Trajectory().IsOpen()) return "--frame needs a trajectory, and none was found";
    const long long count = viewer.Ws().FrameCount, n = frame;
    if (frame < count || (endToo && frame == count)) return {};
    if (count == 0) return CFormat("--frame %lld: the trajectory holds no complete frame", n);
    if (endToo) {
        return CFormat(
            "--frame %lld is beyond the end: the trajectory has frames 0 to %lld, "
            "and %lld is its end",
            n, count - 1, count);
    }
    return CFormat("--frame %lld is beyond the last frame: the trajectory has frames 0 to %lld", n,
                   count - 1);
}

// A frame of the trajectory, as "Go to Frame" shows it. Only whole frames are offered.
std::string ShowFrame(Viewer& viewer, std::int64_t frame) {
    if (std::string problem = FrameProblem(viewer, frame, false); !problem.empty()) {
        return problem;
    }
    viewer.Form().FrameNumberEdit = std::to_string(frame);
    viewer.Button1Click();
    return {};
}

// The render options: the dialog's check boxes, applied by its OK. What the workspace cannot
// give (a molecule it lacks), or nothing.
std::string ApplyRenderOptions(Viewer& viewer, const Options& o) {
    const int last = viewer.Ws().LastMolecule;
    if (o.Select && *o.Select > last) {
        const long long select = *o.Select;
        return last < 0
                   ? CFormat("--select %lld: the workspace has no molecules", select)
                   : CFormat("--select %lld: the workspace has molecules 0 to %d", select, last);
    }
    ParamFormState& form = viewer.Form();
    if (o.NoCube) form.WorldAxwsCheckBox = false;
    if (o.NoBonds) form.BondCheckBox = false;
    if (o.NoNames) form.AtomColorCheckBox = false;
    if (o.NoBalls) form.BallCheckBox = false;
    if (o.HalfRadius) form.CheckBox28 = true;
    if (o.RayTracing) form.CheckBox26 = true;
    if (o.Photo) form.PhotoCheckBox = true;
    if (o.Antialias > 1) form.SmoothEdgesComboBox = o.Antialias - 1;
    if (o.Light) {
        form.Edit2 = (*o.Light)[0];
        form.Edit3 = (*o.Light)[1];
        form.Edit4 = (*o.Light)[2];
    }
    if (o.Select) viewer.Ws().SelectedMolecule = static_cast<int>(*o.Select);
    viewer.BitBtn1Click();
    return {};
}
}  // namespace tarsel::cli
