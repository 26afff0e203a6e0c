#include "gui_support.h"

#include "support/temp_dir.h"

#include <cstdio>
#include <sstream>
#include <sys/wait.h>

namespace spylerom::printing::test {

std::string capture(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        if (status)
            *status = -1;
        return out;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int rc = ::pclose(pipe);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string pdfInfoField(const std::string& pdf, const std::string& field) {
    std::istringstream lines(capture("pdfinfo '" + pdf + "' 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            const auto start = line.find_first_not_of(' ', field.size() + 1);
            return start == std::string::npos ? std::string() : line.substr(start);
        }
    }
    return {};
}

int pdfPageCount(const std::string& pdf) {
    const std::string pages = pdfInfoField(pdf, "Pages");
    return pages.empty() ? -1 : std::stoi(pages);
}

std::string pdfText(const std::string& pdf) {
    return capture("pdftotext -raw -enc UTF-8 '" + pdf + "' - 2>/dev/null");
}

Raster renderPdf(const std::string& pdf, int dpi) {
    spylerom::test::TempDir dir;
    const std::string base = dir.file("page");
    int status = 0;
    capture("pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile '" + pdf + "' '" + base +
                "' 2>/dev/null",
            &status);
    Raster raster;
    if (status != 0 || !spylerom::test::exists(base + ".ppm"))
        return raster;
    const std::string bytes = spylerom::test::readText(base + ".ppm");
    std::istringstream in(bytes);
    std::string magic;
    int maxValue = 0;
    in >> magic >> raster.width >> raster.height >> maxValue;
    in.get();
    if (magic != "P6" || maxValue != 255) {
        raster.width = 0;
        return raster;
    }
    const auto offset = static_cast<std::size_t>(in.tellg());
    raster.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(offset), bytes.end());
    if (raster.rgb.size() < static_cast<std::size_t>(raster.width) * raster.height * 3)
        raster.width = 0;
    return raster;
}

void Raster::at(double xMm, double yMm, int dpi, int& r, int& g, int& b) const {
    const int x = static_cast<int>(xMm * dpi / 25.4);
    const int y = static_cast<int>(yMm * dpi / 25.4);
    r = g = b = -1;
    if (x < 0 || y < 0 || x >= width || y >= height)
        return;
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    r = rgb[i];
    g = rgb[i + 1];
    b = rgb[i + 2];
}

} // namespace spylerom::printing::test
