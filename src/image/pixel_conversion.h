// Pixel conversion: one colour value, a whole image of the same size, or a filtered
// scale into a surface of another size, between any two PixelFormat layouts.
#pragma once

#include <cstdint>

#include "gfx/pixel_format.h"

// Brings one value from the source layout into the destination layout, channel by channel
// (narrowing drops low bits, widening appends one bits, an absent channel gives 0).
uint32_t convertPixel(const PixelFormat* source, const PixelFormat* destination, uint32_t value);

// Converts a width × height image between layouts; the destination must have the same size.
// Pitches are bytes per row. Identical layouts with equal pitches are one block copy.
bool convertPixels(const PixelFormat* sourceFormat, const void* sourcePixels, int32_t width, int32_t height,
                   int32_t sourcePitch, const PixelFormat* destinationFormat, void* destinationPixels,
                   int32_t destinationWidth, int32_t destinationHeight, int32_t destinationPitch);

// Scales an image into a destination of any size: bilinear when enlarging in either
// direction, box averaging otherwise, through 32-bit intermediate buffers.
bool scaleImage(const PixelFormat* sourceFormat, const void* sourcePixels, int32_t sourceWidth, int32_t sourceHeight,
                int32_t sourcePitch, const PixelFormat* destinationFormat, void* destinationPixels,
                int32_t destinationWidth, int32_t destinationHeight, int32_t destinationPitch);
