#include "export/FrameText.h"

#include "workspace/CText.h"

namespace tarsel {

std::string FrameTextFileName(const std::string& frameBoxText) {
    return "frame" + frameBoxText + ".txt";
}

std::string FrameText(const std::string& basePath, const MoleculePose* poses, int count) {
    std::string text = "\r\n " + basePath;
    text += "\r\n NMol) X0,Y0,Z0,   l0,l1,l2,l3";
    for (int i = 0; i < count; ++i) {
        const MoleculePose& p = poses[i];
        text += CFormat("\r\n%i) %f,%f,%f,  %f,%f,%f,%f", p.Number, p.X0, p.Y0, p.Z0, p.l0, p.l1,
                        p.l2, p.l3);
    }
    return text;
}

}  // namespace tarsel
