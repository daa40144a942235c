#pragma once

#include <cmath>

namespace tarsel {

// A point or direction in world coordinates.
struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    friend constexpr Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
    friend constexpr Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
    friend constexpr Vec3 operator*(double k, Vec3 a) { return {k * a.x, k * a.y, k * a.z}; }
    friend constexpr Vec3 operator*(Vec3 a, double k) { return {k * a.x, k * a.y, k * a.z}; }
    friend constexpr bool operator==(Vec3 a, Vec3 b) = default;
};

constexpr double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline double Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}

// A 3 x 3 matrix, row by row.
struct Matrix3 {
    double m[3][3] = {};
};

constexpr Vec3 operator*(const Matrix3& a, Vec3 v) {
    return {a.m[0][0] * v.x + a.m[0][1] * v.y + a.m[0][2] * v.z,
            a.m[1][0] * v.x + a.m[1][1] * v.y + a.m[1][2] * v.z,
            a.m[2][0] * v.x + a.m[2][1] * v.y + a.m[2][2] * v.z};
}

}  // namespace tarsel
