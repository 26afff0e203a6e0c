// The compiler facts come from the compiler's own macros, so they always name the one that
// built this file.
#include "sysinfo/build_facts.h"

namespace spylerom::sysinfo {

namespace {

struct Compiler {
    const char* name;
    int major, minor, patch;
    const char* homePage;
};

constexpr Compiler thisCompiler() {
#if defined(__clang__)
    return {"Clang", __clang_major__, __clang_minor__, __clang_patchlevel__, "https://clang.llvm.org/"};
#elif defined(__GNUC__)
    return {"GCC", __GNUC__, __GNUC_MINOR__, __GNUC_PATCHLEVEL__, "https://gcc.gnu.org/"};
#elif defined(_MSC_VER)
    return {"Microsoft C++", _MSC_VER / 100, _MSC_VER % 100, 0, "https://visualstudio.microsoft.com/"};
#else
    return {"C++", 0, 0, 0, "https://isocpp.org/"};
#endif
}

} // namespace

std::string CompilerVersionText() {
    constexpr Compiler c = thisCompiler();
    return std::string(c.name) + " " + std::to_string(c.major) + "." + std::to_string(c.minor) + "." +
           std::to_string(c.patch);
}

std::string CompilerHomePage() {
    return thisCompiler().homePage;
}

std::string CompilerHint() {
    return std::string("Besøk hjemmesiden til ") + thisCompiler().name;
}

std::string SuiteHint() {
    return std::string("Gå til Bedriftsnavs hjemmeside på internett, ") + kSuiteHomePage;
}

} // namespace spylerom::sysinfo
