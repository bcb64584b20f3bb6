// 4 x 4 matrices in the row-vector convention.
#include <gtest/gtest.h>

#include "support/expect_math.h"

#include <cmath>
#include <cstring>

#include "engine/math/matrix.h"

namespace {

using velmo::Matrix;
using velmo::Vec3;

constexpr float kPi = 3.14159265358979f;



Matrix identity() {
    return Matrix(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
}

// The row (v, 1) times m, all four components.
void rowTimes(const Vec3& v, const Matrix& m, float out[4]) {
    for (int j = 0; j < 4; ++j)
        out[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j] + m.m[3][j];
}

TEST(Matrix, IsSixteenRowMajorFloats) {
    static_assert(sizeof(Matrix) == 16 * sizeof(float));
    const Matrix t = velmo::makeTranslation(7.0f, 8.0f, 9.0f);
    float flat[16];
    std::memcpy(flat, &t, sizeof flat);
    // The translation sits in the fourth row: flat indices 12, 13, 14.
    EXPECT_EQ(flat[12], 7.0f);
    EXPECT_EQ(flat[13], 8.0f);
    EXPECT_EQ(flat[14], 9.0f);
    EXPECT_EQ(flat[15], 1.0f);
    EXPECT_EQ(flat[3], 0.0f);
}

TEST(Matrix, TranslationIsIdentityWithTheFourthRow) {
    Matrix expected = identity();
    expected.m[3][0] = 1.5f;
    expected.m[3][1] = -2.0f;
    expected.m[3][2] = 3.25f;
    expectMatrixNear(velmo::makeTranslation(1.5f, -2.0f, 3.25f), expected, 0.0f);

    Matrix out;
    Matrix& returned = velmo::makeTranslation(out, 1.5f, -2.0f, 3.25f);
    EXPECT_EQ(&returned, &out);
    expectMatrixNear(out, expected, 0.0f);
}

TEST(Matrix, SetAndGetTranslationTouchOnlyTheFourthRow) {
    Matrix m;
    for (int i = 0; i < 16; ++i)
        (&m.m[0][0])[i] = static_cast<float>(i + 1);
    const Matrix before = m;
    velmo::setTranslation(m, Vec3(-1.0f, -2.0f, -3.0f));
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            if (i == 3 && j < 3)
                continue;
            EXPECT_EQ(m.m[i][j], before.m[i][j]);
        }
    EXPECT_EQ(m.m[3][0], -1.0f);
    EXPECT_EQ(m.m[3][1], -2.0f);
    EXPECT_EQ(m.m[3][2], -3.0f);
    expectVecNear(velmo::getTranslation(m), Vec3(-1.0f, -2.0f, -3.0f), 0.0f);
    expectVecNear(velmo::getTranslation(before), Vec3(13.0f, 14.0f, 15.0f), 0.0f);
}

// The rotations by pi/2 applied to row vectors: X and Y turn the opposite way to the usual
// row-vector rotations (and D3DX's), Z the usual way.
struct RotationCase {
    const char* name;
    Matrix (*build)(float);
    Vec3 input;
    Vec3 expected;
};

void PrintTo(const RotationCase& c, std::ostream* os) {
    *os << c.name;
}

class Rotation : public ::testing::TestWithParam<RotationCase> {};

TEST_P(Rotation, QuarterTurn) {
    const RotationCase& c = GetParam();
    const Matrix r = c.build(kPi / 2.0f);
    expectVecNear(velmo::transformPoint(c.input, r), c.expected);
    // The rotation keeps the fourth row and column of the identity.
    EXPECT_EQ(r.m[3][3], 1.0f);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(r.m[3][k], 0.0f);
        EXPECT_EQ(r.m[k][3], 0.0f);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Axes, Rotation,
    ::testing::Values(
        RotationCase{"XTurnsYToMinusZ", velmo::rotationX, Vec3(0, 1, 0), Vec3(0, 0, -1)},
        RotationCase{"XTurnsZToY", velmo::rotationX, Vec3(0, 0, 1), Vec3(0, 1, 0)},
        RotationCase{"XKeepsX", velmo::rotationX, Vec3(1, 0, 0), Vec3(1, 0, 0)},
        RotationCase{"YTurnsXToZ", velmo::rotationY, Vec3(1, 0, 0), Vec3(0, 0, 1)},
        RotationCase{"YTurnsZToMinusX", velmo::rotationY, Vec3(0, 0, 1), Vec3(-1, 0, 0)},
        RotationCase{"YKeepsY", velmo::rotationY, Vec3(0, 1, 0), Vec3(0, 1, 0)},
        RotationCase{"ZTurnsXToY", velmo::rotationZ, Vec3(1, 0, 0), Vec3(0, 1, 0)},
        RotationCase{"ZTurnsYToMinusX", velmo::rotationZ, Vec3(0, 1, 0), Vec3(-1, 0, 0)},
        RotationCase{"ZKeepsZ", velmo::rotationZ, Vec3(0, 0, 1), Vec3(0, 0, 1)}),
    [](const ::testing::TestParamInfo<RotationCase>& info) { return info.param.name; });

TEST(Matrix, RotationsAboutXAndYAreTheTransposesOfTheUsualOnes) {
    const float angles[] = {0.3f, -1.1f, 2.5f, 3.1415f};
    for (float a : angles) {
        D3DXMATRIX usual, transposed;
        D3DXMatrixTranspose(&transposed, D3DXMatrixRotationX(&usual, a));
        expectMatrixNear(velmo::rotationX(a), transposed, 0.0f);
        D3DXMatrixTranspose(&transposed, D3DXMatrixRotationY(&usual, a));
        expectMatrixNear(velmo::rotationY(a), transposed, 0.0f);
        expectMatrixNear(velmo::rotationZ(a), *D3DXMatrixRotationZ(&usual, a), 0.0f);

        // Both forms give the same matrix.
        Matrix out;
        EXPECT_EQ(&velmo::rotationX(out, a), &out);
        expectMatrixNear(out, velmo::rotationX(a), 0.0f);
        velmo::rotationY(out, a);
        expectMatrixNear(out, velmo::rotationY(a), 0.0f);
        velmo::rotationZ(out, a);
        expectMatrixNear(out, velmo::rotationZ(a), 0.0f);
    }
}

TEST(Matrix, ProductOfTranslationsAddsThem) {
    const Matrix product =
        velmo::multiplyMatrix(velmo::makeTranslation(1, 2, 3), velmo::makeTranslation(4, 5, 6));
    expectMatrixNear(product, velmo::makeTranslation(5, 7, 9), 0.0f);
}

TEST(Matrix, ProductIsTheFullFourByFourProduct) {
    // Neither operand has (0, 0, 0, 1) as its fourth column.
    const Matrix a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const Matrix b(2, 0, 1, 0, 0, 1, 0, 3, 1, 0, 0, 1, 0, 2, 1, 1);
    const Matrix expected(5, 10, 5, 13, 17, 22, 13, 33, 29, 34, 21, 53, 41, 46, 29, 73);
    expectMatrixNear(velmo::multiplyMatrix(a, b), expected, 0.0f);

    // The caller's matrix may be an operand.
    Matrix inPlace = a;
    Matrix& returned = velmo::multiplyMatrix(inPlace, inPlace, b);
    EXPECT_EQ(&returned, &inPlace);
    expectMatrixNear(inPlace, expected, 0.0f);
}

TEST(Matrix, ComposedTransformsActLeftToRight) {
    // world = local * parentWorld: the local transform acts on the point first.
    const Matrix local = velmo::rotationZ(kPi / 2.0f);
    const Matrix parent = velmo::makeTranslation(10, 0, 0);
    const Matrix world = velmo::multiplyMatrix(local, parent);
    expectVecNear(velmo::transformPoint(Vec3(1, 0, 0), world), Vec3(10, 1, 0));
    expectVecNear(velmo::transformPoint(Vec3(1, 0, 0), velmo::multiplyMatrix(parent, local)),
                  Vec3(0, 11, 0), 1e-5f);
}

TEST(Matrix, SubtractIsElementByElement) {
    const Matrix a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const Matrix b = identity();
    const Matrix expected(0, 2, 3, 4, 5, 5, 7, 8, 9, 10, 10, 12, 13, 14, 15, 15);
    expectMatrixNear(velmo::subtractMatrix(a, b), expected, 0.0f);
    Matrix out;
    EXPECT_EQ(&velmo::subtractMatrix(out, a, a), &out);
    expectMatrixNear(out, Matrix(), 0.0f);
}

TEST(Matrix, TransformPointUsesTheFourthRowAndNoDivision) {
    expectVecNear(velmo::transformPoint(Vec3(0, 0, 0), velmo::makeTranslation(1, 2, 3)),
                  Vec3(1, 2, 3), 0.0f);
    // The fourth column (w) is ignored: no perspective division.
    Matrix m = velmo::makeTranslation(1, 2, 3);
    m.m[0][3] = 5.0f;
    m.m[3][3] = 7.0f;
    expectVecNear(velmo::transformPoint(Vec3(1, 1, 1), m), Vec3(2, 3, 4), 0.0f);

    const Matrix general(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    expectVecNear(velmo::transformPoint(Vec3(1, -1, 2), general),
                  Vec3(1 - 5 + 18 + 13, 2 - 6 + 20 + 14, 3 - 7 + 22 + 15), 0.0f);

    Vec3 out;
    EXPECT_EQ(&velmo::transformPoint(out, Vec3(0, 0, 0), m), &out);
    expectVecNear(out, Vec3(1, 2, 3), 0.0f);
}

TEST(Matrix, InverseUndoesTheTransform) {
    const Matrix transforms[] = {
        velmo::makeTranslation(3, -4, 5),
        velmo::multiplyMatrix(velmo::rotationX(0.7f), velmo::makeTranslation(1, 2, 3)),
        velmo::multiplyMatrix(
            velmo::multiplyMatrix(Matrix(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1),
                                  velmo::rotationY(-1.3f)),
            velmo::makeTranslation(-7, 0.5f, 12)),
        velmo::perspectiveFovLH(1.3f, 16.0f / 9.0f, 1.0f, 200.0f),
    };
    for (const Matrix& m : transforms) {
        const Matrix inverse = velmo::invertMatrix(m);
        expectMatrixNear(velmo::multiplyMatrix(m, inverse), identity(), 1e-5f);
        expectMatrixNear(velmo::multiplyMatrix(inverse, m), identity(), 1e-5f);
    }
}

TEST(Matrix, InverseOfASingularMatrixIsTheIdentity) {
    const Matrix singular[] = {
        Matrix(),
        Matrix(1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 0, 0, 0, 1, 1),
        Matrix(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 5, 6, 7, 1),
    };
    for (const Matrix& m : singular) {
        Matrix out(9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9);
        Matrix& returned = velmo::invertMatrix(out, m);
        EXPECT_EQ(&returned, &out);
        expectMatrixNear(out, identity(), 0.0f);
        expectMatrixNear(velmo::invertMatrix(m), identity(), 0.0f);
    }
}

TEST(Matrix, PerspectiveKeepsOneInItsLastElement) {
    const Matrix p = velmo::perspectiveFovLH(kPi / 2.0f, 1.0f, 1.0f, 101.0f);
    Matrix expected;
    expected.m[0][0] = 1.0f;
    expected.m[1][1] = 1.0f;
    expected.m[2][2] = 1.01f;
    expected.m[2][3] = 1.0f;
    expected.m[3][2] = -1.01f;
    expected.m[3][3] = 1.0f;
    expectMatrixNear(p, expected, 1e-6f);

    // A view-space point gets w = z + 1; z/w runs from 0 at the near plane.
    float clip[4];
    rowTimes(Vec3(0, 0, 1), p, clip);
    EXPECT_NEAR(clip[2], 0.0f, 1e-6f);
    EXPECT_NEAR(clip[3], 2.0f, 1e-6f);
    rowTimes(Vec3(3, -2, 50), p, clip);
    EXPECT_NEAR(clip[3], 51.0f, 1e-5f);
    EXPECT_NEAR(clip[0], 3.0f, 1e-5f);
    EXPECT_NEAR(clip[1], -2.0f, 1e-5f);
}

TEST(Matrix, PerspectiveScalesXByTheAspectRatio) {
    const Matrix p = velmo::perspectiveFovLH(1.3f, 16.0f / 9.0f, 1.0f, 200.0f);
    EXPECT_FLOAT_EQ(p.m[1][1], 1.0f / std::tan(0.65f));
    EXPECT_FLOAT_EQ(p.m[0][0], p.m[1][1] * 9.0f / 16.0f);
    // The same matrix as D3DX's except for its last element.
    D3DXMATRIX d3dx;
    D3DXMatrixPerspectiveFovLH(&d3dx, 1.3f, 16.0f / 9.0f, 1.0f, 200.0f);
    EXPECT_EQ(d3dx.m[3][3], 0.0f);
    d3dx.m[3][3] = 1.0f;
    expectMatrixNear(p, d3dx, 1e-6f);
    Matrix out;
    EXPECT_EQ(&velmo::perspectiveFovLH(out, 1.3f, 16.0f / 9.0f, 1.0f, 200.0f), &out);
    expectMatrixNear(out, p, 0.0f);
}

TEST(Matrix, LookAtFromInFrontOfTheOrigin) {
    const Matrix view = velmo::lookAtLH(Vec3(0, 0, -5), Vec3(0, 0, 0), Vec3(0, 1, 0));
    expectMatrixNear(view, velmo::makeTranslation(0, 0, 5), 1e-6f);
}

TEST(Matrix, LookAtPutsTheEyeAtTheOriginAndTheTargetOnPlusZ) {
    struct Case {
        Vec3 eye, target, up;
    };
    const Case cases[] = {
        {Vec3(10, 3, -7), Vec3(-2, 1, 4), Vec3(0, 1, 0)},
        {Vec3(0, 50, 100), Vec3(0, 0, 0), Vec3(0, 1, 0)},
        {Vec3(1, 2, 3), Vec3(1, 2, 10), Vec3(1, 1, 0)},
    };
    for (const Case& c : cases) {
        const Matrix view = velmo::lookAtLH(c.eye, c.target, c.up);
        expectVecNear(velmo::transformPoint(c.eye, view), Vec3(0, 0, 0), 1e-4f);
        expectVecNear(velmo::transformPoint(c.target, view),
                      Vec3(0, 0, velmo::vecLength(c.target - c.eye)), 1e-4f);
        // The up hint points into the upper half of the picture, never to the side.
        const Vec3 up = velmo::transformPoint(c.eye + c.up, view);
        EXPECT_GT(up.y, 0.0f);
        EXPECT_NEAR(up.x, 0.0f, 1e-5f);
        // The common left-handed look-at matrix.
        D3DXMATRIX d3dx;
        D3DXMatrixLookAtLH(&d3dx, &c.eye, &c.target, &c.up);
        expectMatrixNear(view, d3dx, 1e-5f);
        Matrix out;
        EXPECT_EQ(&velmo::lookAtLH(out, c.eye, c.target, c.up), &out);
        expectMatrixNear(out, view, 0.0f);
    }
}

} // namespace
