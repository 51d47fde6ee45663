// The last step of decoding a YCbCr image on whole rows: the three channels
// of a strip of patches (means added) converted to red, green and blue byte
// planes, with AVX2 where the processor has it and the bytes of the
// per-pixel conversion.
#pragma once

#include <cstdint>

#include "codec/patch_pixels.h"

// The red, green and blue planes (each width x rows bytes) of a strip whose
// patches hold Y, Cb and Cr planes: for every pixel, the channels plus
// their means go through yccInverse.
void yccStripToPlanes(const PatchStrip& strip, std::uint8_t* planes);
// The scalar form, which the vector code must match.
void yccStripToPlanesScalar(const PatchStrip& strip, std::uint8_t* planes);
