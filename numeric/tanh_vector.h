// Hyperbolic tangent for the learning's inner loop: four lanes at a time on
// processors with AVX2 and FMA, one element at a time elsewhere, with the same
// result bit for bit either way. Within 2 units in the last place of the exact
// tangent; tanh(-x) = -tanh(x), 1 from |x| = 22 on, NaN stays NaN.
#pragma once

#include <cstddef>

namespace KPX {

// One element, the reference form of the vector path.
double tanhScalar(double x);

// Every element of v replaced by its tangent: vectorised when vectorise is set
// and the processor has AVX2 and FMA, element for element equal to tanhScalar.
void tanhInPlace(double* v, std::size_t n, bool vectorise = true);

// Whether the processor has AVX2 and FMA (tanhInPlace's vector form).
bool haveAvx2Fma();

}  // namespace KPX
