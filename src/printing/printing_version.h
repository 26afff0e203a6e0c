// The printing layer's version and date, shown by the system information dialog.
#pragma once

namespace spylerom::printing {

inline constexpr const char* kPrintingVersion = "1.13";
inline constexpr const char* kPrintingDate = "11.10.2011";

} // namespace spylerom::printing
