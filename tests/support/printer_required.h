// Whether the tests that print on a cups-pdf queue of their own must run: SPYLEROM_REQUIRE_PRINTER,
// which scripts/test.sh (CI) sets, turns their skip where there is no such queue into a failure,
// so a green run has printed.
#pragma once

#include <cstdlib>
#include <string>

namespace spylerom::test {

inline constexpr const char* kRequirePrinterVariable = "SPYLEROM_REQUIRE_PRINTER";

inline bool printerRequired() {
    const char* value = std::getenv(kRequirePrinterVariable);
    return value && *value && std::string(value) != "0";
}

} // namespace spylerom::test
