// The port's D3DX 9 matrix and vector types and helpers.
#include <gtest/gtest.h>

#include "support/expect_math.h"

#include <cstddef>
#include <cstring>

#include <d3dx9.h>

namespace {


D3DXMATRIX identity() {
    D3DXMATRIX m;
    return *D3DXMatrixIdentity(&m);
}

TEST(D3DXTypes, ShareTheLayoutsOfTheDirect3DRecords) {
    static_assert(sizeof(D3DXMATRIX) == sizeof(D3DMATRIX) && sizeof(D3DMATRIX) == 64);
    static_assert(sizeof(D3DXVECTOR3) == sizeof(D3DVECTOR) && sizeof(D3DVECTOR) == 12);
    static_assert(sizeof(D3DXVECTOR4) == 16 && sizeof(D3DXVECTOR2) == 8);
    static_assert(offsetof(D3DMATRIX, _41) == 12 * sizeof(float));
    static_assert(offsetof(D3DMATRIX, m) == 0);

    const D3DXMATRIX m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    EXPECT_EQ(m._11, 1.0f);
    EXPECT_EQ(m._23, 7.0f);
    EXPECT_EQ(m._41, 13.0f);
    EXPECT_EQ(m.m[3][0], 13.0f);
    EXPECT_EQ(m(1, 2), 7.0f);
    const float* flat = m;
    EXPECT_EQ(flat[14], 15.0f);

    const D3DXVECTOR3 v(1, 2, 3);
    const D3DVECTOR& base = v;
    EXPECT_EQ(base.z, 3.0f);
    const D3DXVECTOR4 v4(v, 4.0f);
    EXPECT_EQ(v4.x, 1.0f);
    EXPECT_EQ(v4.w, 4.0f);
}

TEST(D3DXTypes, DefaultConstructedValuesAreZero) {
    EXPECT_TRUE(D3DXMATRIX() == D3DXMATRIX(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_TRUE(D3DXVECTOR3() == D3DXVECTOR3(0, 0, 0));
    EXPECT_TRUE(D3DXVECTOR4() == D3DXVECTOR4(0, 0, 0, 0));
}

TEST(D3DXTypes, VectorOperators) {
    D3DXVECTOR3 a(1, 2, 3);
    const D3DXVECTOR3 b(4, 5, 6);
    EXPECT_TRUE(a + b == D3DXVECTOR3(5, 7, 9));
    EXPECT_TRUE(b - a == D3DXVECTOR3(3, 3, 3));
    EXPECT_TRUE(a * 2.0f == D3DXVECTOR3(2, 4, 6));
    EXPECT_TRUE(2.0f * a == D3DXVECTOR3(2, 4, 6));
    EXPECT_TRUE(-a == D3DXVECTOR3(-1, -2, -3));
    a -= b;
    EXPECT_TRUE(a == D3DXVECTOR3(-3, -3, -3));
    a *= -1.0f;
    EXPECT_TRUE(a != b);
    EXPECT_TRUE(D3DXVECTOR4(1, 2, 3, 4) * 0.5f == D3DXVECTOR4(0.5f, 1, 1.5f, 2));
}

TEST(D3DXTypes, MatrixOperatorsMultiplyInRowVectorOrder) {
    D3DXMATRIX t, r;
    D3DXMatrixTranslation(&t, 10, 0, 0);
    D3DXMatrixRotationZ(&r, 1.5707964f);
    const D3DXVECTOR3 p(1, 0, 0);
    D3DXVECTOR3 out;
    // (p * t) * r: translated to (11, 0, 0), then turned to (0, 11, 0).
    const D3DXMATRIX tr = t * r;
    D3DXVec3TransformCoord(&out, &p, &tr);
    EXPECT_NEAR(out.x, 0.0f, 1e-5f);
    EXPECT_NEAR(out.y, 11.0f, 1e-5f);
    D3DXMATRIX product = t;
    product *= r;
    expectMatrixNear(product, t * r, 0.0f);
    expectMatrixNear(t - t, D3DXMATRIX(), 0.0f);
    expectMatrixNear((t + t) / 2.0f, t, 0.0f);
}

TEST(D3DXMatrixInverse, InvertsAndReportsTheDeterminant) {
    D3DXMATRIX s, r, t, m;
    D3DXMatrixScaling(&s, 2, 4, 0.5f);
    D3DXMatrixRotationY(&r, 0.4f);
    D3DXMatrixTranslation(&t, 5, -6, 7);
    m = s * r * t;

    D3DXMATRIX inverse;
    float determinant = 0.0f;
    EXPECT_EQ(D3DXMatrixInverse(&inverse, &determinant, &m), &inverse);
    EXPECT_NEAR(determinant, 4.0f, 1e-5f);
    expectMatrixNear(m * inverse, identity(), 1e-5f);
    EXPECT_NEAR(D3DXMatrixDeterminant(&m), 4.0f, 1e-5f);

    // In place, without a determinant.
    D3DXMATRIX inPlace = m;
    EXPECT_EQ(D3DXMatrixInverse(&inPlace, nullptr, &inPlace), &inPlace);
    expectMatrixNear(inPlace, inverse, 1e-6f);
}

TEST(D3DXMatrixInverse, FailsOnASingularMatrixAndLeavesTheOutputAlone) {
    const D3DXMATRIX singular[] = {
        D3DXMATRIX(),
        D3DXMATRIX(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1),
        D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1),
    };
    for (const D3DXMATRIX& m : singular) {
        const D3DXMATRIX preset(9, 8, 7, 6, 5, 4, 3, 2, 1, 0, -1, -2, -3, -4, -5, -6);
        D3DXMATRIX out = preset;
        float determinant = 42.0f;
        EXPECT_EQ(D3DXMatrixInverse(&out, &determinant, &m), nullptr);
        EXPECT_EQ(determinant, 0.0f);
        expectMatrixNear(out, preset, 0.0f);
    }
}

TEST(D3DXMatrixOrthoLH, MapsTheViewVolumeOntoClipSpace) {
    D3DXMATRIX o;
    EXPECT_EQ(D3DXMatrixOrthoLH(&o, 640, 480, 1, 11), &o);
    struct Case {
        D3DXVECTOR3 in;
        D3DXVECTOR3 expected;
    };
    const Case cases[] = {
        {D3DXVECTOR3(0, 0, 1), D3DXVECTOR3(0, 0, 0)},
        {D3DXVECTOR3(320, 240, 11), D3DXVECTOR3(1, 1, 1)},
        {D3DXVECTOR3(-320, -240, 6), D3DXVECTOR3(-1, -1, 0.5f)},
    };
    for (const Case& c : cases) {
        D3DXVECTOR4 out;
        D3DXVec3Transform(&out, &c.in, &o);
        EXPECT_NEAR(out.x, c.expected.x, 1e-6f);
        EXPECT_NEAR(out.y, c.expected.y, 1e-6f);
        EXPECT_NEAR(out.z, c.expected.z, 1e-6f);
        EXPECT_EQ(out.w, 1.0f);
    }
}

TEST(D3DXMatrixOrthoOffCenterLH, MapsTheRectangleOntoClipSpace) {
    D3DXMATRIX o;
    D3DXMatrixOrthoOffCenterLH(&o, 0, 640, 480, 0, 0, 1);
    D3DXVECTOR3 out;
    const D3DXVECTOR3 topLeft(0, 0, 0), bottomRight(640, 480, 1);
    D3DXVec3TransformCoord(&out, &topLeft, &o);
    EXPECT_NEAR(out.x, -1.0f, 1e-6f);
    EXPECT_NEAR(out.y, 1.0f, 1e-6f);
    D3DXVec3TransformCoord(&out, &bottomRight, &o);
    EXPECT_NEAR(out.x, 1.0f, 1e-6f);
    EXPECT_NEAR(out.y, -1.0f, 1e-6f);
    EXPECT_NEAR(out.z, 1.0f, 1e-6f);
}

TEST(D3DXMatrixRotation, TurnsTheUsualWay) {
    const float a = 1.5707964f;
    D3DXMATRIX r;
    D3DXVECTOR3 out;
    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    D3DXVec3TransformNormal(&out, &y, D3DXMatrixRotationX(&r, a));
    EXPECT_NEAR(out.z, 1.0f, 1e-6f);
    D3DXVec3TransformNormal(&out, &x, D3DXMatrixRotationY(&r, a));
    EXPECT_NEAR(out.z, -1.0f, 1e-6f);
    D3DXVec3TransformNormal(&out, &x, D3DXMatrixRotationZ(&r, a));
    EXPECT_NEAR(out.y, 1.0f, 1e-6f);
}

TEST(D3DXVec3, LengthDotCrossNormalize) {
    const D3DXVECTOR3 a(0, 3, 4), b(1, 0, 0);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&a), 5.0f);
    EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&a), 25.0f);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &a), 25.0f);
    D3DXVECTOR3 out;
    D3DXVec3Cross(&out, &b, &a);
    EXPECT_TRUE(out == D3DXVECTOR3(0, -4, 3));
    D3DXVec3Normalize(&out, &a);
    EXPECT_NEAR(out.y, 0.6f, 1e-6f);
    EXPECT_NEAR(out.z, 0.8f, 1e-6f);
    const D3DXVECTOR3 zero;
    D3DXVec3Normalize(&out, &zero);
    EXPECT_TRUE(out == zero);
}

TEST(D3DXVec3, TransformCoordDividesByW) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m.m[3][3] = 2.0f;
    m.m[3][0] = 4.0f;
    const D3DXVECTOR3 p(2, 4, 6);
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &p, &m);
    EXPECT_TRUE(out == D3DXVECTOR3(3, 2, 3));
    D3DXVec3TransformNormal(&out, &p, &m);
    EXPECT_TRUE(out == p);
}

TEST(D3DXColor, ConvertsToAndFromPackedArgb) {
    const D3DXCOLOR c(0xFF808000u);
    EXPECT_FLOAT_EQ(c.a, 1.0f);
    EXPECT_NEAR(c.r, 128.0f / 255.0f, 1e-6f);
    EXPECT_EQ(c.b, 0.0f);
    EXPECT_EQ(static_cast<DWORD>(c), 0xFF808000u);
    EXPECT_EQ(static_cast<DWORD>(D3DXCOLOR(2.0f, -1.0f, 0.5f, 1.0f)), 0xFFFF0080u);
}

} // namespace
