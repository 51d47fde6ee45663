// The hyperbolic tangent of many values at once, for FastICA's data pass.
// Its vector versions compute tanh(x) = e / (e + 2) with e = exp(2|x|) - 1
// (the sign put back afterwards) from a polynomial on a reduced argument:
// within a few units in the last place of the library's tanh, not equal to
// it, and the same in every lane and position, so that a value does not
// depend on where it lies in the array. The portable level keeps the
// library's function.
#pragma once

#include <cstddef>

namespace KPX {

// values[i] = tanh(values[i]) for i < count, at the vector level in force.
void tanhInPlace(double* values, std::size_t count);
// The same in single precision: the same method with a shorter polynomial,
// within a few units in the last place of tanh rounded to float.
void tanhInPlace(float* values, std::size_t count);

}  // namespace KPX
