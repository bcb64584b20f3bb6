// Element-wise comparisons of vectors and matrices with a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <d3dx9math.h>

inline void expectVecNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected,
                          float tolerance = 1e-6f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

inline void expectMatrixNear(const D3DXMATRIX& actual, const D3DXMATRIX& expected,
                             float tolerance = 1e-6f) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(actual.m[i][j], expected.m[i][j], tolerance)
                << "m[" << i << "][" << j << "]";
        }
    }
}
