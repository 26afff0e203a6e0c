// The fixed facts of this build that the system information dialog shows: the settings-format
// version, the build number, date and identifier, the compiler that made the program and the
// business suite's versions. Nothing here is looked up at run time; showing it is the dialog's.
#pragma once

#include <string>

namespace spylerom::sysinfo {

// The settings format; the frame stamps the same text into the settings file's header.
inline constexpr const char* kInitVersion = "5.36";
inline constexpr const char* kBuildNumber = "519";
inline constexpr const char* kBuildDate = "30.10.2011";
inline constexpr const char* kBuildId = "SRQ";

// The tag in front of the printing layer's version.
inline constexpr const char* kPrintingVersionTag = "Utskriftsmodul";

// The maker's business suite and the database it runs on.
inline constexpr const char* kSuiteVersion = "Bedriftsnav SQL 6.00";
inline constexpr const char* kSuiteDatabase = "MySQL 5, Devart DAC 6.10.0.7";
inline constexpr const char* kSuiteHomePage = "https://www.solvarek.no/bedriftsnav/";
inline constexpr const char* kDatabaseMakerHomePage = "https://www.devart.com/";

// The compiler that built this program, with its version ("GCC 12.2.0").
std::string CompilerVersionText();
// The web page of the compiler's makers.
std::string CompilerHomePage();
// The hint of the compiler link: an invitation to that page.
std::string CompilerHint();
// The hint of the suite link, ending in the suite's web address.
std::string SuiteHint();

} // namespace spylerom::sysinfo
