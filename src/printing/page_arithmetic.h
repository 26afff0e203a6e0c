// The page model's number rules: 32-bit signed millimetre and device values, conversions of
// real results by truncation toward zero or by rounding halves to even, and GDI's MulDiv.
// Every overflow throws PageError; catching and reporting it is the caller's business.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace spylerom::printing {

// A drawing of the page that cannot go on: a value left the 32-bit range.
class PageError : public std::runtime_error {
public:
    explicit PageError(const std::string& what) : std::runtime_error(what) {}
};

// a + b, a - b, a * b; throw PageError when the result does not fit 32 bits.
std::int32_t add32(std::int32_t a, std::int32_t b);
std::int32_t sub32(std::int32_t a, std::int32_t b);
std::int32_t mul32(std::int32_t a, std::int32_t b);
// A real value truncated toward zero; throws PageError for NaN and values outside 32 bits.
std::int32_t trunc32(double value);
// A real value rounded to the nearest integer, halves to the even neighbour; throws like trunc32.
std::int32_t round32(double value);
// value * numerator / denominator with the exact product, rounded half away from zero (MulDiv);
// throws PageError for a zero denominator or a result outside 32 bits.
std::int32_t mulDiv32(std::int32_t value, std::int32_t numerator, std::int32_t denominator);

} // namespace spylerom::printing
