// D3DX 9 matrix and vector helpers.
#include "d3dx9math.h"

#include <cmath>
#include <cstring>

D3DXMATRIX::D3DXMATRIX(const FLOAT* f) : D3DMATRIX{} {
    std::memcpy(&m[0][0], f, sizeof(m));
}

D3DXMATRIX::D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14, FLOAT f21, FLOAT f22, FLOAT f23,
                       FLOAT f24, FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34, FLOAT f41, FLOAT f42,
                       FLOAT f43, FLOAT f44)
    : D3DMATRIX{} {
    const FLOAT f[16] = {f11, f12, f13, f14, f21, f22, f23, f24,
                         f31, f32, f33, f34, f41, f42, f43, f44};
    std::memcpy(&m[0][0], f, sizeof(m));
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat) {
    D3DXMatrixMultiply(this, this, &mat);
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& mat) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] += mat.m[i][j];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& mat) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] -= mat.m[i][j];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(FLOAT s) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] *= s;
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator/=(FLOAT s) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] /= s;
    return *this;
}

D3DXMATRIX D3DXMATRIX::operator-() const {
    D3DXMATRIX r(*this);
    r *= -1.0f;
    return r;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& mat) const {
    D3DXMATRIX r;
    D3DXMatrixMultiply(&r, this, &mat);
    return r;
}

D3DXMATRIX D3DXMATRIX::operator+(const D3DXMATRIX& mat) const {
    D3DXMATRIX r(*this);
    r += mat;
    return r;
}

D3DXMATRIX D3DXMATRIX::operator-(const D3DXMATRIX& mat) const {
    D3DXMATRIX r(*this);
    r -= mat;
    return r;
}

D3DXMATRIX D3DXMATRIX::operator*(FLOAT s) const {
    D3DXMATRIX r(*this);
    r *= s;
    return r;
}

D3DXMATRIX D3DXMATRIX::operator/(FLOAT s) const {
    D3DXMATRIX r(*this);
    r /= s;
    return r;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m[i][j] != mat.m[i][j])
                return false;
    return true;
}

D3DXCOLOR::D3DXCOLOR(DWORD argb)
    : r(((argb >> 16) & 0xff) / 255.0f), g(((argb >> 8) & 0xff) / 255.0f),
      b((argb & 0xff) / 255.0f), a(((argb >> 24) & 0xff) / 255.0f) {}

namespace {

DWORD toByte(FLOAT c) {
    if (!(c > 0.0f))
        return 0;
    if (c >= 1.0f)
        return 255;
    return static_cast<DWORD>(c * 255.0f + 0.5f);
}

} // namespace

D3DXCOLOR::operator DWORD() const {
    return (toByte(a) << 24) | (toByte(r) << 16) | (toByte(g) << 8) | toByte(b);
}

D3DXMATRIX* WINAPI D3DXMatrixIdentity(D3DXMATRIX* out) {
    *out = D3DXMATRIX();
    out->m[0][0] = out->m[1][1] = out->m[2][2] = out->m[3][3] = 1.0f;
    return out;
}

BOOL WINAPI D3DXMatrixIsIdentity(const D3DXMATRIX* m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m->m[i][j] != (i == j ? 1.0f : 0.0f))
                return FALSE;
    return TRUE;
}

D3DXMATRIX* WINAPI D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] +
                        m1->m[i][2] * m2->m[2][j] + m1->m[i][3] * m2->m[3][j];
    *out = r;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m) {
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m->m[j][i];
    *out = r;
    return out;
}

namespace {

// The cofactor matrix of m (transposed: the adjugate), in double precision, and the
// determinant.
double adjugate(const D3DXMATRIX& m, double adj[4][4]) {
    double a[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            a[i][j] = m.m[i][j];

    // 2 x 2 minors of the top two and bottom two rows.
    const double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];

    const double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    const double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;

    adj[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
    adj[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
    adj[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
    adj[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;

    adj[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
    adj[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
    adj[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
    adj[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;

    adj[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
    adj[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
    adj[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
    adj[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;

    adj[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
    adj[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
    adj[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
    adj[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;

    return det;
}

} // namespace

FLOAT WINAPI D3DXMatrixDeterminant(const D3DXMATRIX* m) {
    double adj[4][4];
    return static_cast<FLOAT>(adjugate(*m, adj));
}

D3DXMATRIX* WINAPI D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m) {
    double adj[4][4];
    const double det = adjugate(*m, adj);
    if (determinant)
        *determinant = static_cast<FLOAT>(det);
    if (det == 0.0 || !std::isfinite(det))
        return nullptr;
    const double inv = 1.0 / det;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out->m[i][j] = static_cast<FLOAT>(adj[i][j] * inv);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z) {
    D3DXMatrixIdentity(out);
    out->m[3][0] = x;
    out->m[3][1] = y;
    out->m[3][2] = z;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz) {
    D3DXMatrixIdentity(out);
    out->m[0][0] = sx;
    out->m[1][1] = sy;
    out->m[2][2] = sz;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle) {
    const FLOAT c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->m[1][1] = c;
    out->m[1][2] = s;
    out->m[2][1] = -s;
    out->m[2][2] = c;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle) {
    const FLOAT c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->m[0][0] = c;
    out->m[0][2] = -s;
    out->m[2][0] = s;
    out->m[2][2] = c;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle) {
    const FLOAT c = std::cos(angle), s = std::sin(angle);
    D3DXMatrixIdentity(out);
    out->m[0][0] = c;
    out->m[0][1] = s;
    out->m[1][0] = -s;
    out->m[1][1] = c;
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye,
                                      const D3DXVECTOR3* at, const D3DXVECTOR3* up) {
    D3DXVECTOR3 zaxis = *at - *eye;
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, up, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);

    D3DXMatrixIdentity(out);
    out->m[0][0] = xaxis.x;
    out->m[1][0] = xaxis.y;
    out->m[2][0] = xaxis.z;
    out->m[0][1] = yaxis.x;
    out->m[1][1] = yaxis.y;
    out->m[2][1] = yaxis.z;
    out->m[0][2] = zaxis.x;
    out->m[1][2] = zaxis.y;
    out->m[2][2] = zaxis.z;
    out->m[3][0] = -D3DXVec3Dot(&xaxis, eye);
    out->m[3][1] = -D3DXVec3Dot(&yaxis, eye);
    out->m[3][2] = -D3DXVec3Dot(&zaxis, eye);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovY, FLOAT aspect, FLOAT zn,
                                              FLOAT zf) {
    const FLOAT yScale = 1.0f / std::tan(fovY * 0.5f);
    *out = D3DXMATRIX();
    out->m[0][0] = yScale / aspect;
    out->m[1][1] = yScale;
    out->m[2][2] = zf / (zf - zn);
    out->m[2][3] = 1.0f;
    out->m[3][2] = -zn * zf / (zf - zn);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoLH(D3DXMATRIX* out, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf) {
    D3DXMatrixIdentity(out);
    out->m[0][0] = 2.0f / w;
    out->m[1][1] = 2.0f / h;
    out->m[2][2] = 1.0f / (zf - zn);
    out->m[3][2] = zn / (zn - zf);
    return out;
}

D3DXMATRIX* WINAPI D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, FLOAT l, FLOAT r, FLOAT b, FLOAT t,
                                              FLOAT zn, FLOAT zf) {
    D3DXMatrixIdentity(out);
    out->m[0][0] = 2.0f / (r - l);
    out->m[1][1] = 2.0f / (t - b);
    out->m[2][2] = 1.0f / (zf - zn);
    out->m[3][0] = (l + r) / (l - r);
    out->m[3][1] = (t + b) / (b - t);
    out->m[3][2] = zn / (zn - zf);
    return out;
}

FLOAT WINAPI D3DXVec3Length(const D3DXVECTOR3* v) {
    return std::sqrt(D3DXVec3LengthSq(v));
}

FLOAT WINAPI D3DXVec3LengthSq(const D3DXVECTOR3* v) {
    return v->x * v->x + v->y * v->y + v->z * v->z;
}

FLOAT WINAPI D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    return v1->x * v2->x + v1->y * v2->y + v1->z * v2->z;
}

D3DXVECTOR3* WINAPI D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2) {
    const D3DXVECTOR3 r(v1->y * v2->z - v1->z * v2->y, v1->z * v2->x - v1->x * v2->z,
                        v1->x * v2->y - v1->y * v2->x);
    *out = r;
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v) {
    const FLOAT length = D3DXVec3Length(v);
    if (length == 0.0f) {
        *out = D3DXVECTOR3();
        return out;
    }
    *out = *v / length;
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                           const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    D3DXVec3Transform(&r, v, m);
    *out = D3DXVECTOR3(r.x / r.w, r.y / r.w, r.z / r.w);
    return out;
}

D3DXVECTOR3* WINAPI D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v,
                                            const D3DXMATRIX* m) {
    const D3DXVECTOR3 r(v->x * m->m[0][0] + v->y * m->m[1][0] + v->z * m->m[2][0],
                        v->x * m->m[0][1] + v->y * m->m[1][1] + v->z * m->m[2][1],
                        v->x * m->m[0][2] + v->y * m->m[1][2] + v->z * m->m[2][2]);
    *out = r;
    return out;
}

D3DXVECTOR4* WINAPI D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m) {
    const D3DXVECTOR4 v4(*v, 1.0f);
    return D3DXVec4Transform(out, &v4, m);
}

D3DXVECTOR4* WINAPI D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m) {
    D3DXVECTOR4 r;
    for (int j = 0; j < 4; ++j)
        (&r.x)[j] = v->x * m->m[0][j] + v->y * m->m[1][j] + v->z * m->m[2][j] + v->w * m->m[3][j];
    *out = r;
    return out;
}
