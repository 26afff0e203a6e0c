#include "printing/page_arithmetic.h"

#include <cmath>
#include <limits>

namespace spylerom::printing {

namespace {

const char* const kOverflow = "Heltallsoverløp i utskriften";

// The open interval of doubles that truncate into 32 bits.
bool truncatesInto32(double value) {
    return value > -2147483649.0 && value < 2147483648.0; // false for NaN
}

std::int32_t checked(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw PageError(kOverflow);
    return static_cast<std::int32_t>(value);
}

} // namespace

std::int32_t add32(std::int32_t a, std::int32_t b) {
    return checked(std::int64_t{a} + b);
}

std::int32_t sub32(std::int32_t a, std::int32_t b) {
    return checked(std::int64_t{a} - b);
}

std::int32_t mul32(std::int32_t a, std::int32_t b) {
    return checked(std::int64_t{a} * b);
}

std::int32_t trunc32(double value) {
    if (!truncatesInto32(value))
        throw PageError(kOverflow);
    return static_cast<std::int32_t>(std::trunc(value));
}

std::int32_t round32(double value) {
    if (std::isnan(value))
        throw PageError(kOverflow);
    // nearbyint follows the default rounding mode, to nearest with ties to even.
    return checked(static_cast<std::int64_t>(std::nearbyint(std::fmin(std::fmax(value, -4e18), 4e18))));
}

std::int32_t mulDiv32(std::int32_t value, std::int32_t numerator, std::int32_t denominator) {
    if (denominator == 0)
        throw PageError(kOverflow);
    const std::int64_t product = std::int64_t{value} * numerator;
    const std::int64_t magnitude =
        (std::llabs(product) + std::llabs(denominator) / 2) / std::llabs(denominator);
    const bool negative = (product < 0) != (denominator < 0);
    return checked(negative ? -magnitude : magnitude);
}

} // namespace spylerom::printing
