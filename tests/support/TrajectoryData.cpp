#include "support/TrajectoryData.h"

namespace tarsel::test {

MoleculePose LabelledPose(int molecule, int frame) {
    MoleculePose p;
    p.Number = molecule + 1;
    p.X0 = frame;
    p.Y0 = molecule;
    p.Z0 = 0.5;
    p.l0 = 1;
    return p;
}

std::string LabelledFrames(int molecules, int frames) {
    std::string bytes;
    for (int k = 0; k < frames; ++k) {
        for (int i = 0; i < molecules; ++i) {
            const MoleculePose p = LabelledPose(i, k);
            bytes.append(reinterpret_cast<const char*>(&p), sizeof p);
        }
    }
    return bytes;
}

}  // namespace tarsel::test
