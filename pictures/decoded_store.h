// The store a PNG or WebP reader decodes into, and what it does with an alpha channel that
// turned out opaque.
#pragma once

#include "imaging/raster.h"

namespace picbatch {

// A width x height store for a reader whose header passed the size limits: Bgra32 with every
// pixel opaque black when alpha, otherwise Bgr24 black, so that pixels the file leaves out
// are black as in every reader. Throws "Out of system resources" (OutOfMemory) when it
// cannot be made.
// With opaque false, an alpha store is left unfilled (its pixels transparent black) for a
// reader that fills what it does not decode itself (MakeOpaqueFrom): a picture that fails
// half-way then costs only what was decoded.
Raster MakeDecodedStore(int width, int height, bool alpha, bool opaque = true);

// Makes the pixels of rows firstRow and after of a Bgra32 picture opaque black.
void MakeOpaqueFrom(Raster& picture, int firstRow);

// A Bgra32 picture whose pixels are all opaque becomes Bgr24 with the same colours, so that
// it takes the road of opaque pictures; any other picture stays as it is.
void DropOpaqueAlpha(Raster& picture);

}  // namespace picbatch
