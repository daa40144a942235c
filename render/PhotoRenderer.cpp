#include "render/PhotoRenderer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "render/SceneRenderer.h"
#include "workspace/Numeric.h"

namespace tarsel {

namespace {

constexpr float FAR = std::numeric_limits<float>::infinity();
// A bond's radius against the smaller of its two atoms' radii.
constexpr double BOND_RADIUS = 0.25;
// Neighbours occlude an atom up to this many of its radii beyond its surface; this much of
// their summed weight darkens it fully.
constexpr double OCCLUSION_REACH = 2.0;
constexpr double OCCLUSION_FULL = 10.0;
constexpr int SHININESS = 20;
// Above this many cells the occlusion grid takes larger cells.
constexpr std::int64_t MAX_CELLS = 1 << 21;

// Eight marks of a bond row at once: byte k has its top bit set when marks[k] is not '0'.
std::uint64_t BondsIn8(const char* marks) {
    static_assert(std::endian::native == std::endian::little);
    std::uint64_t w;
    std::memcpy(&w, marks, sizeof w);
    w ^= 0x3030303030303030ULL;
    constexpr std::uint64_t LOW7 = 0x7F7F7F7F7F7F7F7FULL;
    return (((w & LOW7) + LOW7) | w) & ~LOW7;
}

Vec3 Unit(Vec3 a) {
    const double l = Length(a);
    return l > 0 ? (1 / l) * a : Vec3{};
}

// The first pixel of a box of doubles inside lo .. hi (inclusive), kept finite.
int ClampPixel(double v, int lo, int hi) {
    if (!(v > lo)) return lo;  // NaN too
    if (v > hi) return hi;
    return static_cast<int>(v);
}

int Byte(double v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return Trunc(v);
}

}  // namespace

Rgb PhotoAtomColour(Rgb atom, bool selected) {
    Rgb c = atom;
    if (c.R == 0 && c.G == 0 && c.B == 0)
        c = {PHOTO_BLACK_ATOM, PHOTO_BLACK_ATOM, PHOTO_BLACK_ATOM};
    c = {std::clamp(c.R, 0, 255), std::clamp(c.G, 0, 255), std::clamp(c.B, 0, 255)};
    if (!selected) return c;
    return {std::min(c.R + 30, 255), std::min(c.G + 30, 255), std::min(c.B + 30, 255)};
}

PhotoRenderer::PhotoRenderer(int bands) : workers_(bands) {}

void PhotoRenderer::DrawPhoto(const Workspace& ws, const Projection& proj,
                              const VisibleAtomList& visible, Canvas& canvas, FontSpec& labelFont) {
    static thread_local std::vector<std::uint8_t*> rows;
    rows.resize(SCENE_SIZE);
    for (int y = 0; y < SCENE_SIZE; ++y)
        rows[y] = canvas.Row(y);
    PhotoTarget target;
    target.Rows = rows.data();
    target.Width = SCENE_SIZE;
    target.Height = SCENE_SIZE;
    target.Region = ClipToScene(ws.VisibleRect);
    target.CentreX = VIEW_CENTRE;
    target.CentreY = VIEW_CENTRE;
    DrawPhoto(ws, proj, visible, canvas, labelFont, target, true);
}

void PhotoRenderer::DrawPhoto(const Workspace& ws, const Projection& proj,
                              const VisibleAtomList& visible, Canvas& canvas, FontSpec& labelFont,
                              const PhotoTarget& target, bool targetIsCanvas) {
    const Rect& region = target.Region;
    if (region.Width() <= 0 || region.Height() <= 0) return;
    const CameraFrame& cam = proj.Camera();
    const double scale = proj.Scale();
    pp_ = Length(proj.Plane().PlaneCentre - cam.V0);
    V0_ = cam.V0;
    D0_ = pp_ * cam.V1;
    Du_ = scale != 0 ? (-1 / scale) * cam.V2 : Vec3{};
    Dv_ = scale != 0 ? (-1 / scale) * cam.V3 : Vec3{};
    GatherListedAtoms(ws, visible, records_, listed_, workers_);
    spheres_.clear();
    cylinders_.clear();
    // Without a usable projection no ray meets anything: the background stays.
    if (!(pp_ > 0) || !(std::fabs(scale) > 0) || !std::isfinite(pp_ * scale)) {
        listed_.clear();
    } else {
        BuildSpheres(ws, proj, target);
        if (ws.ShowBonds) BuildCylinders(ws, proj, visible, target);
    }
    ComputeOcclusion();
    Rasterise(target);
    Shade(ws, target);
    DrawNames(ws, canvas, labelFont, target, targetIsCanvas);
}

void PhotoRenderer::BuildSpheres(const Workspace& ws, const Projection& proj,
                                 const PhotoTarget& target) {
    const Vec3 V1 = Unit(proj.Camera().V1);
    const double focal = std::fabs(proj.Scale()) * pp_;
    const Rect& region = target.Region;
    spheres_.resize(listed_.size());
    workers_.ForRanges(
        static_cast<int>(listed_.size()), ATOMS_PER_BAND, [&](int, int from, int to) {
            for (int k = from; k < to; ++k) {
                const ListedAtom& a = listed_[k];
                Sphere& s = spheres_[k];
                s = Sphere{};
                s.P = a.P;
                s.R = ws.HalfRadius ? a.R * 0.5 : a.R;
                s.U = a.sx;
                s.V = a.sy;
                s.Colour = PhotoAtomColour(a.Colour, a.Molecule == ws.SelectedMolecule);
                if (!ws.ShowBalls || !(s.R > 0) || !std::isfinite(s.R)) continue;
                const Vec3 o = a.P - V0_;
                const double zc = Dot(V1, o);
                // A sphere that reaches the camera's plane has no outline on the screen.
                if (!(zc > s.R * 1.000001)) continue;
                s.PixelRadius = focal * s.R / std::sqrt(zc * zc - s.R * s.R);
                const double tan2 = (a.sx * a.sx + a.sy * a.sy) / (focal * focal);
                // Off the axis the outline is an ellipse stretched away from the centre.
                const double half = s.PixelRadius * (1 + tan2) * 1.25 + 2;
                const double cx = target.CentreX + a.sx, cy = target.CentreY - a.sy;
                s.X0 = ClampPixel(std::floor(cx - half), region.Left, region.Right - 1);
                s.X1 = ClampPixel(std::ceil(cx + half), region.Left - 1, region.Right - 1);
                s.Y0 = ClampPixel(std::floor(cy - half), region.Top, region.Bottom - 1);
                s.Y1 = ClampPixel(std::ceil(cy + half), region.Top - 1, region.Bottom - 1);
                if (cx + half < region.Left || cy + half < region.Top) s.X1 = s.X0 - 1;
                s.Od0 = Dot(o, D0_);
                s.Odu = Dot(o, Du_);
                s.Odv = Dot(o, Dv_);
                s.C = Dot(o, o) - s.R * s.R;
            }
        });
}

void PhotoRenderer::BuildCylinders(const Workspace& ws, const Projection& proj,
                                   const VisibleAtomList& visible, const PhotoTarget& target) {
    const Rect& region = target.Region;
    const int count = static_cast<int>(listed_.size());
    for (int k = 0; k < count; ++k) {
        const VisibleAtom& e = visible[count - 1 - k];
        const MoleculeRecord& mol = ws.Molecules[e.Molecule];
        const int atoms = AtomsOf(mol);
        const int a = e.Atom;
        const auto& row = mol.Bonds[a];
        const auto bond = [&](int j) {
            if (j == a) return;
            // A bond marked in both rows is drawn once, from the lower atom's row.
            if (j < a && mol.Bonds[j][a] != '0') return;
            const int p = visible.Find(e.Molecule, j);
            if (p < 0) return;
            const Sphere& sa = spheres_[k];
            const Sphere& sb = spheres_[count - 1 - p];
            const ListedAtom& la = listed_[k];
            const ListedAtom& lb = listed_[count - 1 - p];
            const double ra = ws.HalfRadius ? la.R * 0.5 : la.R;
            const double rb = ws.HalfRadius ? lb.R * 0.5 : lb.R;
            Cylinder c;
            c.A = sa.P;
            const Vec3 ab = sb.P - sa.P;
            const double length = Length(ab);
            if (!(length > 0) || !std::isfinite(length)) return;
            c.Axis = (1 / length) * ab;
            c.R = BOND_RADIUS * std::min(ra, rb);
            if (!(c.R > 0)) c.R = BOND_RADIUS * std::max({ra, rb, 0.0});
            if (!(c.R > 0)) return;
            // From the surface of one ball to the surface of the other.
            const auto leave = [&](double r) {
                return ws.ShowBalls && r > c.R ? std::sqrt(r * r - c.R * c.R) : 0.0;
            };
            c.S0 = leave(ra);
            c.S1 = length - leave(rb);
            if (!(c.S1 > c.S0)) return;
            const char kind = row[j];
            c.Pieces = kind == 'D' ? 5 : kind == 'Z' ? 9 : 1;
            c.Colour = kind == 'S'                  ? Rgb{0, 0, 255}
                       : kind == 'D' || kind == 'Z' ? Rgb{0, 128, 0}
                                                    : Rgb{128, 128, 128};
            const Vec3 toCamera = V0_ - c.A;
            c.Wa = Dot(toCamera, c.Axis);
            const Vec3 w = toCamera - c.Wa * c.Axis;
            c.Dw0 = Dot(D0_, w);
            c.Dwu = Dot(Du_, w);
            c.Dwv = Dot(Dv_, w);
            c.Da0 = Dot(D0_, c.Axis);
            c.Dau = Dot(Du_, c.Axis);
            c.Dav = Dot(Dv_, c.Axis);
            c.C = Dot(w, w) - c.R * c.R;
            const ProjectedPoint pa = proj.ProjectPoint(c.A), pb = proj.ProjectPoint(sb.P);
            if (!pa.Visible || !pb.Visible) return;
            const double half =
                c.R * std::max(pa.PerspectiveFactor, pb.PerspectiveFactor) * 1.5 + 2;
            const double xa = target.CentreX + pa.sx, ya = target.CentreY - pa.sy;
            const double xb = target.CentreX + pb.sx, yb = target.CentreY - pb.sy;
            const double left = std::min(xa, xb) - half, right = std::max(xa, xb) + half;
            const double top = std::min(ya, yb) - half, bottom = std::max(ya, yb) + half;
            if (right < region.Left || bottom < region.Top) return;
            c.X0 = ClampPixel(std::floor(left), region.Left, region.Right - 1);
            c.X1 = ClampPixel(std::ceil(right), region.Left - 1, region.Right - 1);
            c.Y0 = ClampPixel(std::floor(top), region.Top, region.Bottom - 1);
            c.Y1 = ClampPixel(std::ceil(bottom), region.Top - 1, region.Bottom - 1);
            cylinders_.push_back(c);
        };
        int j = 0;
        for (; j + 8 <= atoms; j += 8) {
            for (std::uint64_t bits = BondsIn8(&row[j]); bits != 0; bits &= bits - 1)
                bond(j + std::countr_zero(bits) / 8);
        }
        for (; j < atoms; ++j) {
            if (row[j] != '0') bond(j);
        }
    }
}

void PhotoRenderer::ComputeOcclusion() {
    const int count = static_cast<int>(spheres_.size());
    occlusion_.assign(static_cast<std::size_t>(count), 0.0f);
    occlusionDir_.assign(static_cast<std::size_t>(count) * 3, 0.0f);
    if (count < 2) return;
    // A grid of cells at least as wide as any atom's reach, so that the 27 cells around an
    // atom hold every neighbour that can occlude it.
    double rmax = 0;
    Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (const Sphere& s : spheres_) {
        if (!(s.R > 0) || !std::isfinite(s.P.x + s.P.y + s.P.z)) continue;
        rmax = std::max(rmax, s.R);
        lo = {std::min(lo.x, s.P.x), std::min(lo.y, s.P.y), std::min(lo.z, s.P.z)};
        hi = {std::max(hi.x, s.P.x), std::max(hi.y, s.P.y), std::max(hi.z, s.P.z)};
    }
    if (!(rmax > 0)) return;
    double cell = (2 + OCCLUSION_REACH) * rmax;
    std::int64_t nx, ny, nz;
    for (;;) {
        nx = static_cast<std::int64_t>(std::min((hi.x - lo.x) / cell, 1e6)) + 1;
        ny = static_cast<std::int64_t>(std::min((hi.y - lo.y) / cell, 1e6)) + 1;
        nz = static_cast<std::int64_t>(std::min((hi.z - lo.z) / cell, 1e6)) + 1;
        if (nx * ny * nz <= MAX_CELLS) break;
        cell *= 1.5;
    }
    const auto cellIndex = [&](std::int64_t ix, std::int64_t iy, std::int64_t iz) {
        return static_cast<std::int32_t>((iz * ny + iy) * nx + ix);
    };
    const auto coord = [&](double v, double origin, std::int64_t n) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>((v - origin) / cell), 0, n - 1);
    };
    const std::int32_t cells = static_cast<std::int32_t>(nx * ny * nz);
    cellStart_.assign(static_cast<std::size_t>(cells) + 1, 0);
    atomCell_.assign(static_cast<std::size_t>(count), -1);
    for (int k = 0; k < count; ++k) {
        const Sphere& s = spheres_[k];
        if (!(s.R > 0) || !std::isfinite(s.P.x + s.P.y + s.P.z)) continue;
        atomCell_[k] =
            cellIndex(coord(s.P.x, lo.x, nx), coord(s.P.y, lo.y, ny), coord(s.P.z, lo.z, nz));
        ++cellStart_[atomCell_[k] + 1];
    }
    for (std::int32_t c = 0; c < cells; ++c)
        cellStart_[c + 1] += cellStart_[c];
    cellAtoms_.resize(static_cast<std::size_t>(cellStart_[cells]));
    {
        std::vector<std::int32_t> fill(cellStart_.begin(), cellStart_.end() - 1);
        for (int k = 0; k < count; ++k)
            if (atomCell_[k] >= 0) cellAtoms_[fill[atomCell_[k]]++] = k;
    }
    workers_.ForRanges(count, ATOMS_PER_BAND / 4, [&](int, int from, int to) {
        for (int k = from; k < to; ++k) {
            if (atomCell_[k] < 0) continue;
            const Sphere& s = spheres_[k];
            const double reach = OCCLUSION_REACH * s.R;
            const std::int64_t cx = coord(s.P.x, lo.x, nx), cy = coord(s.P.y, lo.y, ny),
                               cz = coord(s.P.z, lo.z, nz);
            double sum = 0;
            Vec3 dir{};
            for (std::int64_t iz = std::max<std::int64_t>(cz - 1, 0);
                 iz <= std::min(cz + 1, nz - 1); ++iz)
                for (std::int64_t iy = std::max<std::int64_t>(cy - 1, 0);
                     iy <= std::min(cy + 1, ny - 1); ++iy)
                    for (std::int64_t ix = std::max<std::int64_t>(cx - 1, 0);
                         ix <= std::min(cx + 1, nx - 1); ++ix) {
                        const std::int32_t c = cellIndex(ix, iy, iz);
                        for (std::int32_t q = cellStart_[c]; q < cellStart_[c + 1]; ++q) {
                            const int j = cellAtoms_[q];
                            if (j == k) continue;
                            const Sphere& n = spheres_[j];
                            const Vec3 d = n.P - s.P;
                            const double dist2 = Dot(d, d);
                            const double limit = s.R + n.R + reach;
                            if (dist2 >= limit * limit) continue;
                            const double dist = std::sqrt(dist2);
                            const double gap = std::max(dist - s.R - n.R, 0.0);
                            const double near = 1 - gap / reach;
                            const double size = std::min(1.0, (n.R * n.R) / (s.R * s.R));
                            const double w = near * near * size;
                            sum += w;
                            if (dist > 0) dir = dir + (w / dist) * d;
                        }
                    }
            occlusion_[k] = static_cast<float>(std::min(1.0, sum / OCCLUSION_FULL));
            if (sum > 0) {
                occlusionDir_[3 * k] = static_cast<float>(dir.x / sum);
                occlusionDir_[3 * k + 1] = static_cast<float>(dir.y / sum);
                occlusionDir_[3 * k + 2] = static_cast<float>(dir.z / sum);
            }
        }
    });
}

void PhotoRenderer::Rasterise(const PhotoTarget& target) {
    const Rect& region = target.Region;
    const int width = region.Width(), height = region.Height();
    bufferWidth_ = width;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    depth_.resize(size);
    owner_.resize(size);
    const Vec3 D0 = D0_, Du = Du_, Dv = Dv_;
    const double g00 = Dot(D0, D0), g0u = Dot(D0, Du), g0v = Dot(D0, Dv);
    const double guu = Dot(Du, Du), guv = Dot(Du, Dv), gvv = Dot(Dv, Dv);
    const int bands = workers_.Bands();
    const int spheres = static_cast<int>(spheres_.size());
    auto job = [&](int band) {
        for (int y = region.Top + band; y < region.Bottom; y += bands) {
            const std::size_t base = static_cast<std::size_t>(y - region.Top) * width;
            std::fill_n(depth_.data() + base, width, FAR);
            std::fill_n(owner_.data() + base, width, -1);
        }
        const auto firstRow = [&](int y0) {
            return y0 + ((band - (y0 - region.Top)) % bands + bands) % bands;
        };
        for (int k = 0; k < spheres; ++k) {
            const Sphere& s = spheres_[k];
            if (s.X1 < s.X0) continue;
            const float c = static_cast<float>(s.C);
            const float odu = static_cast<float>(s.Odu);
            const float u0 = static_cast<float>(s.X0 - target.CentreX);
            for (int y = firstRow(s.Y0); y <= s.Y1; y += bands) {
                const double v = target.CentreY - y;
                const float od = static_cast<float>(s.Od0 + v * s.Odv);
                const float q0 = static_cast<float>(g00 + 2 * v * g0v + v * v * gvv);
                const float q1 = static_cast<float>(2 * (g0u + v * guv));
                const float q2 = static_cast<float>(guu);
                float* depth = depth_.data() + static_cast<std::size_t>(y - region.Top) * width +
                               (s.X0 - region.Left);
                std::int32_t* owner = owner_.data() +
                                      static_cast<std::size_t>(y - region.Top) * width +
                                      (s.X0 - region.Left);
                const int n = s.X1 - s.X0 + 1;
                for (int i = 0; i < n; ++i) {
                    const float u = u0 + static_cast<float>(i);
                    const float dd = q0 + u * (q1 + u * q2);
                    const float dO = od + u * odu;
                    const float disc = dO * dO - dd * c;
                    const float t = (dO - std::sqrt(std::max(disc, 0.0f))) / dd;
                    const bool hit = disc >= 0 && t > 0 && t < depth[i];
                    depth[i] = hit ? t : depth[i];
                    owner[i] = hit ? k : owner[i];
                }
            }
        }
        for (std::size_t b = 0; b < cylinders_.size(); ++b) {
            const Cylinder& cy = cylinders_[b];
            if (cy.X1 < cy.X0) continue;
            const std::int32_t id = spheres + static_cast<std::int32_t>(b);
            for (int y = firstRow(cy.Y0); y <= cy.Y1; y += bands) {
                const double v = target.CentreY - y;
                const double q0 = g00 + 2 * v * g0v + v * v * gvv, q1 = 2 * (g0u + v * guv);
                const double dw0 = cy.Dw0 + v * cy.Dwv, da0 = cy.Da0 + v * cy.Dav;
                const std::size_t row = static_cast<std::size_t>(y - region.Top) * width;
                for (int x = cy.X0; x <= cy.X1; ++x) {
                    const double u = x - target.CentreX;
                    const double dd = q0 + u * (q1 + u * guu);
                    const double da = da0 + u * cy.Dau, dw = dw0 + u * cy.Dwu;
                    const double alpha = dd - da * da;
                    const double disc = dw * dw - alpha * cy.C;
                    if (!(alpha > 0) || disc < 0) continue;
                    const double t = (-dw - std::sqrt(disc)) / alpha;
                    const std::size_t at = row + (x - region.Left);
                    if (!(t > 0) || !(t < depth_[at])) continue;
                    const double s = cy.Wa + t * da;
                    if (s < cy.S0 || s > cy.S1) continue;
                    if (cy.Pieces > 1) {
                        const int piece =
                            static_cast<int>((s - cy.S0) / (cy.S1 - cy.S0) * cy.Pieces);
                        if (piece % 2 != 0) continue;
                    }
                    depth_[at] = static_cast<float>(t);
                    owner_[at] = id;
                }
            }
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers_.Run(job);
    }
}

void PhotoRenderer::Shade(const Workspace& ws, const PhotoTarget& target) {
    const Rect& region = target.Region;
    const int width = region.Width();
    const int bands = workers_.Bands();
    const int spheres = static_cast<int>(spheres_.size());
    const Vec3 V1 = Unit(D0_);
    // The depth cue fades from the near side of the cube to its far side; without a cube,
    // over the depths of the atoms.
    double fogNear = 0, fogFar = 0;
    {
        double lo = 1e300, hi = -1e300;
        const double h = ws.Cube.CubeLength / 2;
        for (int corner = 0; corner < 8; ++corner) {
            const Vec3 p = ws.Cube.CubeCentre +
                           Vec3{corner & 1 ? h : -h, corner & 2 ? h : -h, corner & 4 ? h : -h};
            const double z = Dot(V1, p - V0_);
            lo = std::min(lo, z);
            hi = std::max(hi, z);
        }
        if (!(h > 0) || !(hi > 0)) {
            lo = 1e300, hi = -1e300;
            for (const Sphere& s : spheres_) {
                const double z = Dot(V1, s.P - V0_);
                lo = std::min(lo, z);
                hi = std::max(hi, z);
            }
        }
        fogNear = std::max(lo, 0.0);
        fogFar = hi;
    }
    const double fogSpan = fogFar - fogNear;
    const double cue = std::clamp(ws.PhotoDepthCue, 0.0, 1.0);
    const double occlusionStrength = std::clamp(ws.PhotoOcclusion, 0.0, 1.0);
    const double outline = std::max(ws.PhotoOutline, 0.0);
    const double kd = ws.DiffuseCoefficient, ks = ws.ReflectCoefficient, ka = ws.StrayCoefficient;
    const Vec3 light = ws.LightPosition;
    const double bg[3] = {static_cast<double>(ws.BackgroundColour.R & 0xFF),
                          static_cast<double>(ws.BackgroundColour.G & 0xFF),
                          static_cast<double>(ws.BackgroundColour.B & 0xFF)};
    const double pp = pp_;
    const Vec3 D0 = D0_, Du = Du_, Dv = Dv_, V0 = V0_;
    auto job = [&](int band) {
        for (int y = region.Top + band; y < region.Bottom; y += bands) {
            const std::size_t row = static_cast<std::size_t>(y - region.Top) * width;
            std::uint8_t* pixels = target.Rows[y];
            const double v = target.CentreY - y;
            const Vec3 dRow = D0 + v * Dv;
            for (int x = region.Left; x < region.Right; ++x) {
                const std::int32_t id = owner_[row + (x - region.Left)];
                if (id < 0) continue;
                const double t = depth_[row + (x - region.Left)];
                const double u = x - target.CentreX;
                const Vec3 d = dRow + u * Du;
                const Vec3 S = V0 + t * d;
                Vec3 n;
                Rgb colour;
                double occ = 0, edge = 0;
                if (id < spheres) {
                    const Sphere& s = spheres_[id];
                    n = (1 / s.R) * (S - s.P);
                    colour = s.Colour;
                    const float* dir = &occlusionDir_[3 * id];
                    // Darker on the side that faces the neighbours.
                    occ = std::min(
                        1.0, occlusion_[id] *
                                 std::max(0.0, 1 + n.x * dir[0] + n.y * dir[1] + n.z * dir[2]));
                    // The outline: pixels within its width of the sphere's rim, where what lies
                    // just beyond the rim is deeper by about a radius or more.
                    const double lineWidth = outline * s.PixelRadius;
                    if (lineWidth > 0) {
                        const Vec3 o = s.P - V0;
                        const double dd = Dot(d, d), dO = Dot(d, o);
                        const double rho2 = Dot(o, o) - dO * dO / dd;
                        const double rim = std::sqrt(std::clamp(rho2 / (s.R * s.R), 0.0, 1.0));
                        const double fromRim = s.PixelRadius * (1 - rim);
                        if (fromRim < lineWidth) {
                            double eu = u - s.U, ev = v - s.V;
                            const double len = std::sqrt(eu * eu + ev * ev);
                            double jump = 1;
                            if (len > 0) {
                                eu /= len;
                                ev /= len;
                                const double step = fromRim + 1.5;
                                const int px = x + static_cast<int>(std::lround(eu * step));
                                const int py = y - static_cast<int>(std::lround(ev * step));
                                if (px >= region.Left && px < region.Right && py >= region.Top &&
                                    py < region.Bottom) {
                                    const float beyond =
                                        depth_[static_cast<std::size_t>(py - region.Top) * width +
                                               (px - region.Left)];
                                    if (beyond != FAR)
                                        jump = std::clamp((beyond - t) * pp / s.R, 0.0, 1.0);
                                }
                            } else {
                                jump = 0;
                            }
                            edge = std::clamp(lineWidth - fromRim, 0.0, 1.0) * jump;
                        }
                    }
                } else {
                    const Cylinder& c = cylinders_[id - spheres];
                    const double along = Dot(S - c.A, c.Axis);
                    n = (1 / c.R) * (S - c.A - along * c.Axis);
                    colour = c.Colour;
                }
                const Vec3 toLight = Unit(light - S);
                const Vec3 toEye = Unit(-1 * d);
                const double diffuse = std::max(Dot(n, toLight), 0.0);
                const double k = std::max(Dot(n, Unit(toLight + toEye)), 0.0);
                double k2 = k * k, k4 = k2 * k2, k16 = k4 * k4 * k4 * k4;
                const double specular = ks * k16 * k4;
                static_assert(SHININESS == 20);
                const double ao = 1 - occlusionStrength * std::min(occ, 1.0);
                const double fog =
                    fogSpan > 0 ? cue * std::clamp((t * pp - fogNear) / fogSpan, 0.0, 1.0) : 0;
                const double base[3] = {colour.R / 255.0, colour.G / 255.0, colour.B / 255.0};
                std::uint8_t* p = pixels + 3 * x;
                for (int ch = 0; ch < 3; ++ch) {
                    double value = ((kd * diffuse + ka) * base[ch] + specular) * ao * 255;
                    value = std::min(value, 255.0);
                    value += (bg[ch] - value) * fog;
                    value *= 1 - edge;
                    p[2 - ch] = static_cast<std::uint8_t>(Byte(value));
                }
            }
        }
    };
    if (bands == 1) {
        job(0);
    } else {
        workers_.Run(job);
    }
}

void PhotoRenderer::DrawNames(const Workspace& ws, Canvas& canvas, FontSpec& labelFont,
                              const PhotoTarget& target, bool targetIsCanvas) {
    if (!ws.ShowAtomNames) return;
    const Rect& region = target.Region;
    const double fontScale = ws.Projection.FontScale;
    const int count = static_cast<int>(listed_.size());
    const Vec3 D0 = D0_, Du = Du_, Dv = Dv_;
    for (int k = 0; k < count; ++k) {
        const ListedAtom& atom = listed_[k];
        const int x = Trunc(target.CentreX + atom.sx), y = Trunc(target.CentreY - atom.sy);
        // Only a name whose atom is seen at its centre: nearer atoms hide the rest.
        if (x < region.Left || x >= region.Right || y < region.Top || y >= region.Bottom) continue;
        const std::size_t at =
            static_cast<std::size_t>(y - region.Top) * bufferWidth_ + (x - region.Left);
        if (owner_[at] != k) {
            const double u = x - target.CentreX, v = target.CentreY - y;
            const Vec3 d = D0 + u * Du + v * Dv;
            const double tCentre = Dot(d, atom.P - V0_) / Dot(d, d);
            if (!(depth_[at] >= tCentre)) continue;
        }
        labelFont.Height = Trunc(atom.Factor * fontScale + 3);
        const TextCoverage* c = canvas.Coverage(atom.Name.View(), labelFont);
        if (c == nullptr) {
            if (targetIsCanvas) canvas.Text(x, y, atom.Name.View(), labelFont, {0, 0, 0});
            continue;
        }
        const std::int64_t top = std::int64_t{y} + c->Top;
        const std::int64_t end = std::min<std::int64_t>(top + c->Height, target.Height);
        for (std::int64_t row = std::max<std::int64_t>(top, 0); row < end; ++row)
            BlendCoverageRow(target.Rows[row], *c, static_cast<int>(row - top), x, {0, 0, 0},
                             target.Width);
    }
}

}  // namespace tarsel
