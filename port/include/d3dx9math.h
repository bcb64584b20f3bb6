// D3DX 9 matrix and vector types and helpers, as far as velmo uses them, implemented by the
// port (port/src/d3dx9/math.cpp). The types have the layouts of the Direct3D records they
// extend: D3DXVECTOR3 is a D3DVECTOR (three floats), D3DXMATRIX a D3DMATRIX (sixteen floats,
// row-major, row-vector convention: a point is transformed as p * M, translation in the fourth
// row). The builders follow D3DX's own conventions (its rotations are the usual row-vector
// rotations; its perspective matrix has 0 in m[3][3]).
#pragma once

#include "d3d9types.h"

// ----------------------------------------------------------------------------------------------
// Types
// ----------------------------------------------------------------------------------------------

struct D3DXVECTOR2 {
    D3DXVECTOR2() : x(0.0f), y(0.0f) {}
    explicit D3DXVECTOR2(const FLOAT* f) : x(f[0]), y(f[1]) {}
    D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR2& operator+=(const D3DXVECTOR2& v) {
        x += v.x;
        y += v.y;
        return *this;
    }
    D3DXVECTOR2& operator-=(const D3DXVECTOR2& v) {
        x -= v.x;
        y -= v.y;
        return *this;
    }
    D3DXVECTOR2& operator*=(FLOAT s) {
        x *= s;
        y *= s;
        return *this;
    }
    D3DXVECTOR2& operator/=(FLOAT s) {
        x /= s;
        y /= s;
        return *this;
    }
    D3DXVECTOR2 operator+() const { return *this; }
    D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }
    D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
    D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
    D3DXVECTOR2 operator*(FLOAT s) const { return D3DXVECTOR2(x * s, y * s); }
    D3DXVECTOR2 operator/(FLOAT s) const { return D3DXVECTOR2(x / s, y / s); }
    bool operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
    bool operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }

    FLOAT x, y;
};

inline D3DXVECTOR2 operator*(FLOAT s, const D3DXVECTOR2& v) {
    return v * s;
}

// Three floats, the layout of D3DVECTOR; the engine's velmo::Vec3 is this type.
struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() : D3DVECTOR{0.0f, 0.0f, 0.0f} {}
    explicit D3DXVECTOR3(const FLOAT* f) : D3DVECTOR{f[0], f[1], f[2]} {}
    D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}
    D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) : D3DVECTOR{fx, fy, fz} {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    D3DXVECTOR3& operator*=(FLOAT s) {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    // No test for s = 0.
    D3DXVECTOR3& operator/=(FLOAT s) {
        x /= s;
        y /= s;
        z /= s;
        return *this;
    }
    D3DXVECTOR3 operator+() const { return *this; }
    D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const {
        return D3DXVECTOR3(x + v.x, y + v.y, z + v.z);
    }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const {
        return D3DXVECTOR3(x - v.x, y - v.y, z - v.z);
    }
    D3DXVECTOR3 operator*(FLOAT s) const { return D3DXVECTOR3(x * s, y * s, z * s); }
    D3DXVECTOR3 operator/(FLOAT s) const { return D3DXVECTOR3(x / s, y / s, z / s); }
    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

inline D3DXVECTOR3 operator*(FLOAT s, const D3DXVECTOR3& v) {
    return v * s;
}

struct D3DXVECTOR4 {
    D3DXVECTOR4() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    explicit D3DXVECTOR4(const FLOAT* f) : x(f[0]), y(f[1]), z(f[2]), w(f[3]) {}
    D3DXVECTOR4(const D3DVECTOR& v, FLOAT fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
    D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR4& operator+=(const D3DXVECTOR4& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        w += v.w;
        return *this;
    }
    D3DXVECTOR4& operator-=(const D3DXVECTOR4& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        w -= v.w;
        return *this;
    }
    D3DXVECTOR4& operator*=(FLOAT s) {
        x *= s;
        y *= s;
        z *= s;
        w *= s;
        return *this;
    }
    D3DXVECTOR4& operator/=(FLOAT s) {
        x /= s;
        y /= s;
        z /= s;
        w /= s;
        return *this;
    }
    D3DXVECTOR4 operator+() const { return *this; }
    D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }
    D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const {
        return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w);
    }
    D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const {
        return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w);
    }
    D3DXVECTOR4 operator*(FLOAT s) const { return D3DXVECTOR4(x * s, y * s, z * s, w * s); }
    D3DXVECTOR4 operator/(FLOAT s) const { return D3DXVECTOR4(x / s, y / s, z / s, w / s); }
    bool operator==(const D3DXVECTOR4& v) const {
        return x == v.x && y == v.y && z == v.z && w == v.w;
    }
    bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }

    FLOAT x, y, z, w;
};

inline D3DXVECTOR4 operator*(FLOAT s, const D3DXVECTOR4& v) {
    return v * s;
}

// Sixteen floats, the layout of D3DMATRIX. Default-constructed matrices are all zero.
struct D3DXMATRIX : public D3DMATRIX {
    D3DXMATRIX() : D3DMATRIX{} {}
    explicit D3DXMATRIX(const FLOAT* f);
    D3DXMATRIX(const D3DMATRIX& mat) : D3DMATRIX(mat) {}
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23,
               FLOAT f24, FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42,
               FLOAT f43, FLOAT f44);

    FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
    FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }

    operator FLOAT*() { return &m[0][0]; }
    operator const FLOAT*() const { return &m[0][0]; }

    D3DXMATRIX& operator*=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator+=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator-=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator*=(FLOAT s);
    D3DXMATRIX& operator/=(FLOAT s);

    D3DXMATRIX operator+() const { return *this; }
    D3DXMATRIX operator-() const;

    D3DXMATRIX operator*(const D3DXMATRIX& mat) const;
    D3DXMATRIX operator+(const D3DXMATRIX& mat) const;
    D3DXMATRIX operator-(const D3DXMATRIX& mat) const;
    D3DXMATRIX operator*(FLOAT s) const;
    D3DXMATRIX operator/(FLOAT s) const;

    bool operator==(const D3DXMATRIX& mat) const;
    bool operator!=(const D3DXMATRIX& mat) const { return !(*this == mat); }
};

inline D3DXMATRIX operator*(FLOAT s, const D3DXMATRIX& mat) {
    return mat * s;
}

// A colour as four floats (r, g, b, a), convertible to and from a packed ARGB D3DCOLOR.
struct D3DXCOLOR {
    D3DXCOLOR() : r(0.0f), g(0.0f), b(0.0f), a(0.0f) {}
    D3DXCOLOR(DWORD argb);
    explicit D3DXCOLOR(const FLOAT* f) : r(f[0]), g(f[1]), b(f[2]), a(f[3]) {}
    D3DXCOLOR(FLOAT fr, FLOAT fg, FLOAT fb, FLOAT fa) : r(fr), g(fg), b(fb), a(fa) {}

    operator DWORD() const;
    operator FLOAT*() { return &r; }
    operator const FLOAT*() const { return &r; }

    bool operator==(const D3DXCOLOR& c) const {
        return r == c.r && g == c.g && b == c.b && a == c.a;
    }
    bool operator!=(const D3DXCOLOR& c) const { return !(*this == c); }

    FLOAT r, g, b, a;
};

static_assert(sizeof(D3DXVECTOR2) == 2 * sizeof(float), "D3DXVECTOR2 holds two floats");
static_assert(sizeof(D3DXVECTOR3) == sizeof(D3DVECTOR), "D3DXVECTOR3 has D3DVECTOR's layout");
static_assert(sizeof(D3DXVECTOR4) == 4 * sizeof(float), "D3DXVECTOR4 holds four floats");
static_assert(sizeof(D3DXMATRIX) == sizeof(D3DMATRIX), "D3DXMATRIX has D3DMATRIX's layout");
static_assert(sizeof(D3DXCOLOR) == 4 * sizeof(float), "D3DXCOLOR holds four floats");

// ----------------------------------------------------------------------------------------------
// Functions. Each writes its result through the output pointer and returns it; the output may
// be the same object as an input.
// ----------------------------------------------------------------------------------------------

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out);
BOOL WINAPI D3DXMatrixIsIdentity(const D3DXMATRIX* m);
D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2);
D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX* m);
// The inverse of m. When m is singular (determinant 0) returns NULL and leaves out untouched;
// the determinant is written through determinant when that is not NULL, singular or not.
D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m);
D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z);
D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz);
// The usual row-vector rotations: (0, 1, 0) about X by a goes to (0, cos a, sin a).
D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye,
                                      const D3DXVECTOR3* at, const D3DXVECTOR3* up);
// D3DX's own perspective matrix: m[2][3] = 1 and m[3][3] = 0.
D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect, FLOAT zn,
                                              FLOAT zf);
// Orthographic projection of a w x h view volume centred on the axis, depth zn..zf to 0..1.
D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* out, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, FLOAT l, FLOAT r, FLOAT b, FLOAT t,
                                              FLOAT zn, FLOAT zf);

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* v);
FLOAT WINAPI D3DXVec3LengthSq(const D3DXVECTOR3* v);
FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2);
D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2);
// A zero vector comes back as zero.
D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
// (v, 1) * m, divided by the resulting w.
D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                           const D3DXMATRIX* m);
// (v, 0) * m: directions, no translation.
D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                            const D3DXMATRIX* m);
// (v, 1) * m with all four components kept.
D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
D3DXVECTOR4* WINAPI D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m);
