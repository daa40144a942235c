#include "app/ScenePicture.h"

#include <QFile>
#include <QImageWriter>

#include "app/Viewer.h"

namespace tarsel {

QImage ScenePicture(const Viewer& viewer) {
    const Workspace& ws = viewer.Ws();
    return viewer.Scene().Copy(ws.VisibleRect, ws.BackgroundColour);
}

std::string SaveScenePicture(const Viewer& viewer, const std::string& path) {
    const QImage picture = ScenePicture(viewer);
    QFile file(QString::fromStdString(path));
    // The file is opened here rather than by the image writer, whose error would not say why.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return "can't write \"" + path + "\": " + file.errorString().toStdString();
    }
    QImageWriter writer(&file, "PNG");
    const bool written = writer.write(picture);
    const std::string reason = written ? std::string() : writer.errorString().toStdString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        return "can't write \"" + path +
               "\": " + (reason.empty() ? file.errorString().toStdString() : reason);
    }
    return {};
}

}  // namespace tarsel
