// The little 4x4 matrix arithmetic the pipeline needs for its uniforms: D3D's row-vector
// matrices as float[4][4] rows, products and inverses.
#pragma once

#include "platform/dx7/d3d_types.h"

using FfpMat4 = float[4][4];

// The matrix's rows as they are stored (_11.._44).
void ffpToRows(const D3DMATRIX& m, FfpMat4 out);
// out = a * b (out must not be a or b).
void ffpMultiply(const FfpMat4 a, const FfpMat4 b, FfpMat4 out);
// Inverse by cofactor expansion; false (out untouched) when the matrix is singular.
bool ffpInverse(const FfpMat4 m, FfpMat4 out);
// The inverse, or the identity when the matrix is singular.
void ffpInverseOrIdentity(const FfpMat4 m, FfpMat4 out);
