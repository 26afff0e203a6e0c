// Constants of the maker's other products that the system information dialog shows: the shared
// XML interface and the database desktop product Tabulant. This program uses nothing else of
// them; what the products do is their own business.
#pragma once

#include <cstdint>

namespace spylerom::sysinfo {

// The shared XML interface.
inline constexpr const char* kXmlApiName = "Solvarek XMLAPI";
inline constexpr const char* kXmlApiVersion = "1.30";

// The database desktop product.
inline constexpr const char* kTabulantName = "Solvarek Tabulant";
inline constexpr const char* kTabulantVersion = "1.8.1";
inline constexpr const char* kTabulantDate = "04.07.2011";
inline constexpr const char* kTabulantUserMode = "Enbruker";
inline constexpr std::int32_t kTabulantPointerSize = 256; // bytes
inline constexpr const char* kTabulantCache = "Skrivebuffer AV";
// Its program file in the maker's "bin" folder.
#ifdef _WIN32
inline constexpr const char* kTabulantProgram = "tabulant.exe";
#else
inline constexpr const char* kTabulantProgram = "tabulant";
#endif

} // namespace spylerom::sysinfo
