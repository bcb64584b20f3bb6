// D3DX 9 as far as velmo uses it, implemented by the port.
#pragma once

#include "d3d9.h"
#include "d3dx9math.h"
