// Single-precision hyperbolic tangent for the learning's inner loop: eight
// lanes at a time on processors with AVX2 and FMA, one element at a time
// elsewhere, with the same result bit for bit either way. Within 2 units in
// the last place of the exact tangent; tanh(-x) = -tanh(x), 1 from |x| = 9.5
// on, NaN stays NaN.
#pragma once

#include <cstddef>

namespace KPX {

// One element, the reference form of the vector path.
float tanhFloat(float x);

// Every element of v replaced by its tangent: vectorised when vectorise is set
// and the processor has AVX2 and FMA, element for element equal to tanhFloat.
void tanhFloats(float* v, std::size_t n, bool vectorise = true);

// Whether tanhFloats has its vector form on this processor.
bool tanhFloatsVectorised();

}  // namespace KPX
