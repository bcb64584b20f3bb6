// D3DX 9 matrix and vector types and helpers.
#pragma once

#include "d3d9types.h"
