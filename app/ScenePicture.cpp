#include "app/ScenePicture.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageWriter>
#include <string_view>

#include "app/Viewer.h"
#include "export/SafeFile.h"

namespace tarsel {

QImage ScenePicture(const Viewer& viewer) {
    const Workspace& ws = viewer.Ws();
    return viewer.Scene().Copy(ws.VisibleRect, ws.BackgroundColour);
}

std::string SavePng(const QImage& image, const std::string& path) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    if (!writer.write(image)) {
        return "can't make the PNG picture for \"" + path +
               "\": " + writer.errorString().toStdString();
    }
    return WriteFileSafely(path, std::string_view(png.constData(), png.size())).Error;
}

std::string SaveScenePicture(const Viewer& viewer, const std::string& path) {
    return SavePng(ScenePicture(viewer), path);
}

std::string SaveScenePicture(Viewer& viewer, const std::string& path, int n) {
    return SavePng(viewer.SmoothPicture(n), path);
}

}  // namespace tarsel
