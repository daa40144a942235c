#pragma once

#include <QImage>
#include <string>

namespace tarsel {

class Viewer;

// The picture the main window shows of the loaded scene: the visible part of the scene bitmap,
// the background colour where a large window reaches beyond it.
QImage ScenePicture(const Viewer& viewer);

// Writes the image as a PNG file at path, whole or not at all. Returns what went wrong, empty
// when it is written.
std::string SavePng(const QImage& image, const std::string& path);

// Writes ScenePicture as a PNG file. File > Save Picture... and "tarsel-cli render" both write
// through here.
std::string SaveScenePicture(const Viewer& viewer, const std::string& path);
// The same drawn with smooth edges, n x n samples a pixel (Viewer::SmoothPicture).
std::string SaveScenePicture(Viewer& viewer, const std::string& path, int n);

}  // namespace tarsel
