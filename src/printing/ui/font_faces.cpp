#include "printing/ui/font_faces.h"

#include "printing/page_arithmetic.h"

#include <QString>

#include <algorithm>

namespace spylerom::printing {

namespace {

// Faces that Debian has no metric-compatible font for, and how to ask for the nearest one:
// "Arial Black" is Arial's heaviest weight, so fontconfig's Arial alias (Liberation Sans or
// Arimo) in its boldest cut stands in, rather than an unrelated sans face.
struct HeavyFace {
    const char* name;
    const char* family;
    QFont::Weight weight;
};
constexpr HeavyFace kHeavyFaces[] = {{"Arial Black", "Arial", QFont::Black}};

} // namespace

QFont qtFontFor(const FontSpec& spec, int dpiY) {
    QFont font;
    font.setFamily(QString::fromStdString(spec.face));
    for (const auto& heavy : kHeavyFaces) {
        if (QString::fromStdString(spec.face).compare(QLatin1String(heavy.name), Qt::CaseInsensitive) == 0) {
            font.setFamily(QLatin1String(heavy.family));
            font.setWeight(heavy.weight);
        }
    }
    // lfHeight = -MulDiv(points, LOGPIXELSY, 72): the character height without internal leading,
    // which is Qt's pixel size.
    font.setPixelSize(std::max(1, mulDiv32(spec.points, dpiY, 72)));
    if (spec.style.bold)
        font.setBold(true);
    font.setItalic(spec.style.italic);
    font.setUnderline(spec.style.underline);
    font.setStrikeOut(spec.style.strikeOut);
    // Widths as the metric-compatible faces define them: no kerning, no hinting.
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace spylerom::printing
