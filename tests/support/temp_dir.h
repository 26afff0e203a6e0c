// A fresh folder under /tmp (the user's TEMP on Windows) for one test, removed with everything
// in it afterwards.
#pragma once

#include "platform/platform.h"

#include <string>

namespace spylerom::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, without a trailing separator.
    const std::string& path() const { return path_; }
    // path(), the path separator, relative
    std::string file(const std::string& relative) const {
        return path_ + platform::kPathSeparator + relative;
    }

private:
    std::string path_;
};

// Small file helpers for tests.
void writeText(const std::string& path, const std::string& bytes);
std::string readText(const std::string& path);
bool exists(const std::string& path);

} // namespace spylerom::test
