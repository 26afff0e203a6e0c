// The letterhead and the test page on a recording surface: order, positions and the state they
// leave behind.
#include "page_fixture.h"

#include "printing/letterhead.h"
#include "printing/page_layout.h"
#include "printing/primitives.h"
#include "printing/test_page.h"

#include <algorithm>

namespace spylerom::printing::test {
namespace {

using Kind = RecordedOp::Kind;

Extent fixedMetrics(const FontSpec&, std::int32_t, std::string_view utf8) {
    return {7 * codePointCount(utf8), 20};
}

const std::map<std::string, std::string> kCompany = {
    {"Firma_Navn", "Solbakken Data AS"}, {"Firma_PostNr", "1234"},         {"Firma_PostSted", "Småby"},
    {"Firma_Epost", "post@example.no"},  {"Firma_Telefon", "11 22 33 44"}, {"Firma_Telefax", "55 66 77 88"},
    {"Firma_Mobil", "900 00 000"},       {"Firma_OrgNr", "999 888 777"}};

class LetterheadTest : public PageTest {
protected:
    void draw(std::map<std::string, std::string> settings) {
        layOut(settings);
        surface_.setMetrics(fixedMetrics);
        Letterhead("Test utskrift");
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& op : surface_.opsOf(Kind::Text))
            out.push_back(op.text);
        return out;
    }
};

TEST_F(LetterheadTest, FrameThenGridThenRuleAndTitleBar) {
    draw({});
    const auto& ops = surface_.ops();
    ASSERT_GT(ops.size(), 3u);
    EXPECT_EQ(ops[0].kind, Kind::Rectangle);
    EXPECT_EQ(ops[0].points, (std::vector<Point>{{0, 0}, {1049, 1484}}));
    EXPECT_EQ(ops[0].brushColor, kWhite);

    // The grid: 4 mm squares from (5, 25) mm, stopping 5 mm short of the right and bottom edges.
    std::vector<std::int32_t> xs, ys;
    std::size_t i = 1;
    for (; i < ops.size() && ops[i].kind == Kind::Line && ops[i].penColor == kPaleCyan; ++i) {
        const bool vertical = ops[i].points[0].x == ops[i].points[1].x;
        if (vertical)
            xs.push_back(ops[i].points[0].x);
        else
            ys.push_back(ops[i].points[0].y);
    }
    ASSERT_EQ(xs.size(), 50u);
    EXPECT_EQ(xs.front(), 25);
    EXPECT_EQ(xs.back(), 1005); // 201 mm; 204 is not a step from 5
    ASSERT_EQ(ys.size(), 67u);  // 25, 29, ..., 289 mm (under 291)
    EXPECT_EQ(ys.front(), 125);
    EXPECT_EQ(ys.back(), 1445);

    const RecordedOp& rule = ops.at(i);
    EXPECT_EQ(rule.kind, Kind::Line);
    EXPECT_EQ(rule.points, (std::vector<Point>{{0, 100}, {1049, 100}}));
    EXPECT_EQ(rule.penWidth, 2);
    const RecordedOp& bar = ops.at(i + 1);
    EXPECT_EQ(bar.kind, Kind::RoundRect);
    EXPECT_EQ(bar.points, (std::vector<Point>{{525, 5}, {1044, 95}, {25, 25}}));
    EXPECT_EQ(bar.brushColor, kGreen);
    EXPECT_EQ(bar.penColor, kBlack);
    const RecordedOp& title = ops.at(i + 2);
    EXPECT_EQ(title.text, "Test utskrift");
    EXPECT_EQ(title.points[0], (Point{540, 10}));
    EXPECT_EQ(title.font.color, kWhite);
    EXPECT_EQ(title.brushColor, kGreen); // the cell sits on the bar
    EXPECT_EQ(title.brushStyle, BrushStyle::Solid);
}

TEST_F(LetterheadTest, WithoutCompanyKeysOnlyTheLabelsAndTitle) {
    draw({});
    std::vector<std::string> shown;
    for (const auto& t : texts())
        if (!t.empty() && t != " ")
            shown.push_back(t);
    EXPECT_EQ(shown, (std::vector<std::string>{"Test utskrift",
                                               "e-post:", "telefon:", "telefax:", "mobiltlf.:", "org.nr.:"}));
}

TEST_F(LetterheadTest, CompanyBlockAndTheValueColumnRightOfTheWidestLabel) {
    draw(kCompany);
    const RecordedOp* name = surface_.findText("Solbakken Data AS");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->points[0], (Point{20, 10}));
    EXPECT_EQ(name->font.face, "Arial");
    EXPECT_EQ(name->font.points, 26); // 20 points at zoom 5
    EXPECT_EQ(name->font.color, kBlack);
    EXPECT_EQ(name->brushColor, kWhite);
    const RecordedOp* address = surface_.findText("1234 Småby");
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(address->points[0], (Point{20, 70}));

    // Labels at 61 mm, one line (20 px / 5 + 1 = 5 mm) apart from 3 mm down; "mobiltlf.:" is the
    // widest: 70 px = 14 mm, so the values stand at 1 + 14 + 62 = 77 mm.
    const char* labels[] = {"e-post:", "telefon:", "telefax:", "mobiltlf.:", "org.nr.:"};
    const char* values[] = {"post@example.no", "11 22 33 44", "55 66 77 88", "900 00 000", "999 888 777"};
    for (int row = 0; row < 5; ++row) {
        const RecordedOp* label = surface_.findText(labels[row]);
        const RecordedOp* value = surface_.findText(values[row]);
        ASSERT_NE(label, nullptr);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(label->points[0], (Point{305, 15 + 25 * row})) << labels[row];
        EXPECT_EQ(value->points[0], (Point{385, 15 + 25 * row})) << values[row];
        EXPECT_EQ(label->font.points, 8); // 6 points at zoom 5
    }
}

TEST_F(LetterheadTest, ValueColumnFollowsTheMarginAndTheMeasuredLabels) {
    layOut({{"Skriver_VenstreMarg", "10"}, {"Firma_Epost", "e@x"}});
    surface_.setMetrics([](const FontSpec&, std::int32_t, std::string_view utf8) {
        return Extent{utf8 == "telefax:" ? 123 : 10, 20};
    });
    Letterhead("T");
    // The widest label is 123 px = 24 mm; the value column starts at 10 + 1 + 24 + 62 mm.
    EXPECT_EQ(surface_.findText("e@x")->points[0].x, (10 + 1 + 24 + 62) * 5);
    EXPECT_EQ(surface_.findText("e-post:")->points[0].x, (10 + 61) * 5);
}

TEST_F(LetterheadTest, HeaderFontAppliesToTheCompanyNameOnly) {
    auto settings = kCompany;
    settings["Skriver_HeaderFont"] = "Times New Roman";
    draw(settings);
    EXPECT_EQ(surface_.findText("Solbakken Data AS")->font.face, "Times New Roman");
    EXPECT_EQ(surface_.findText("1234 Småby")->font.face, "Arial");
}

TEST_F(LetterheadTest, LeavesTheStateAsPromised) {
    draw(kCompany);
    surface_.font().style.bold = true; // set before; the letterhead clears it on its next run
    surface_.clear();
    Letterhead("Test utskrift");
    EXPECT_EQ(page().OriginX, 0);
    EXPECT_EQ(page().OriginY, 0);
    EXPECT_EQ(surface_.penWidth(), 1);
    EXPECT_EQ(surface_.brushColor(), kWhite);
    EXPECT_EQ(surface_.brushStyle(), BrushStyle::Solid);
    EXPECT_EQ(surface_.font().color, kBlack);
    EXPECT_EQ(surface_.font().style, FontStyle{});
    EXPECT_EQ(surface_.font().face, "Arial");
    EXPECT_EQ(surface_.font().points, 8);
    EXPECT_TRUE(page().AutoAdvance);
    EXPECT_EQ(page().RightEdgeMm, 209);
    EXPECT_EQ(page().BottomEdgeMm, 296);
}

// --- The test page ---------------------------------------------------------------------------

class TestPageTest : public PageTest {
protected:
    void draw() {
        layOut();
        surface_.setMetrics(fixedMetrics);
        TestPage();
    }
    std::size_t indexOf(std::string_view text) const {
        const auto& ops = surface_.ops();
        for (std::size_t i = 0; i < ops.size(); ++i)
            if (ops[i].kind == Kind::Text && ops[i].text == text)
                return i;
        return ops.size();
    }
};

TEST_F(TestPageTest, CylinderAndArrowInDevicePixels) {
    draw();
    const auto& ops = surface_.ops();
    const std::size_t start = indexOf("org.nr.:");
    ASSERT_LT(start, ops.size());
    std::vector<RecordedOp> shapes;
    for (std::size_t i = start; i < ops.size() && shapes.size() < 6; ++i)
        if (ops[i].kind != Kind::Text)
            shapes.push_back(ops[i]);
    ASSERT_EQ(shapes.size(), 6u);
    EXPECT_EQ(shapes[0].points, (std::vector<Point>{{150, 200}, {850, 200}}));
    EXPECT_EQ(shapes[1].points, (std::vector<Point>{{150, 700}, {850, 700}}));
    EXPECT_EQ(shapes[2].kind, Kind::Arc);
    EXPECT_EQ(shapes[2].points, (std::vector<Point>{{50, 200}, {250, 700}, {150, 200}, {150, 700}}));
    EXPECT_EQ(shapes[3].kind, Kind::Ellipse);
    EXPECT_EQ(shapes[3].points, (std::vector<Point>{{750, 200}, {950, 700}}));
    EXPECT_EQ(shapes[3].brushColor, kWhite);
    EXPECT_EQ(shapes[4].points, (std::vector<Point>{{765, 225}, {935, 675}}));
    EXPECT_EQ(shapes[5].kind, Kind::Polyline);
    EXPECT_EQ(
        shapes[5].points,
        (std::vector<Point>{
            {625, 245}, {615, 245}, {615, 255}, {625, 255}, {625, 265}, {640, 250}, {625, 235}, {625, 245}}));
    EXPECT_EQ(shapes[0].penWidth, 1);
}

TEST_F(TestPageTest, TextBlockRightAlignedLinesAndHatchedSquares) {
    draw();
    const RecordedOp* testing = surface_.findText("TESTING");
    ASSERT_NE(testing, nullptr);
    EXPECT_EQ(testing->points[0], (Point{100, 850}));
    EXPECT_EQ(testing->font.face, "Arial Black");
    EXPECT_EQ(testing->font.points, 16);

    const auto rects = surface_.opsOf(Kind::Rectangle);
    ASSERT_EQ(rects.size(), 3u); // the frame and the two squares
    EXPECT_EQ(rects[1].points, (std::vector<Point>{{155, 905}, {195, 945}}));
    EXPECT_EQ(rects[2].points, (std::vector<Point>{{155, 980}, {195, 1020}}));
    EXPECT_EQ(rects[1].brushStyle, BrushStyle::DiagonalCross);

    // Right ends on one column (to the millimetre), one line height (5 mm) apart from 170 mm.
    const char* lines[] = {"Test 123", "Ny linje under", "Skal være på", "Samme vertikale linje"};
    std::int32_t firstEnd = 0;
    for (int row = 0; row < 4; ++row) {
        const RecordedOp* op = surface_.findText(lines[row]);
        ASSERT_NE(op, nullptr) << lines[row];
        EXPECT_EQ(op->points[0].y, (170 + 5 * row) * 5);
        const std::int32_t end = op->points[0].x + 7 * codePointCount(lines[row]);
        if (row == 0)
            firstEnd = end;
        EXPECT_NEAR(end, firstEnd, 5) << lines[row];
    }
    const RecordedOp* below = surface_.findText("Testing 1234");
    ASSERT_NE(below, nullptr);
    EXPECT_EQ(below->points[0], (Point{(10 + 38) * 5, (170 + 20 + 24) * 5}));
    EXPECT_EQ(below->font.face, "Arial");
}

TEST_F(TestPageTest, TypefacesRulerAndNorwegianLetters) {
    draw();
    std::string ruler;
    for (int i = 0; i < 9; ++i)
        ruler += "1234567890";
    ruler += "12";
    const RecordedOp* r = surface_.findText(ruler);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->points[0], (Point{5, 105}));
    EXPECT_EQ(r->font.face, "Courier New");
    const RecordedOp* arial = surface_.findText("Dette er en test 123 ÆØÅ xxxx Dette er en test 123 ÆØÅ");
    ASSERT_NE(arial, nullptr);
    EXPECT_EQ(arial->points[0], (Point{5, 155}));
    EXPECT_EQ(arial->font.points, 29);
    EXPECT_EQ(arial->brushStyle, BrushStyle::Solid);
    EXPECT_EQ(arial->brushColor, kWhite);
    const RecordedOp* times = surface_.findText(
        "Dette er en test 123 ÆØÅ xxxx Dette er en test 123 xxx ÆØÅ Dette er en test 123 ÆØÅ");
    ASSERT_NE(times, nullptr);
    EXPECT_EQ(times->font.face, "Times New Roman");
    EXPECT_EQ(times->font.points, 21);
    std::string footerText;
    for (const auto& op : surface_.opsOf(Kind::Text))
        if (op.text.find("tegningskilde: TEST") != std::string::npos)
            footerText = op.text;
    const RecordedOp* footer = surface_.findText(footerText);
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(footer->points[0], (Point{25, 1484 - 30}));
    EXPECT_LT(indexOf(footer->text), indexOf(ruler));
}

TEST_F(TestPageTest, FanOfRotatedTextsEndsWithTheFontUnturned) {
    draw();
    const auto& ops = surface_.ops();
    ASSERT_GE(ops.size(), 36u);
    for (int i = 1; i <= 36; ++i) {
        const RecordedOp& op = ops[ops.size() - 36 + static_cast<std::size_t>(i - 1)];
        EXPECT_EQ(op.text, "Rotert tekst, " + std::to_string(i * 10) + " grader");
        EXPECT_EQ(op.font.escapement, i * 100);
        EXPECT_EQ(op.font.face, "Arial");
        EXPECT_EQ(op.font.points, 16);
        EXPECT_EQ(op.points[0], (Point{500, 1250}));
    }
    EXPECT_EQ(surface_.font().escapement, 0);
    EXPECT_EQ(surface_.font().face, "Arial");
    EXPECT_EQ(surface_.font().points, 16);
}

TEST_F(TestPageTest, SamePageEveryDrawing) {
    draw();
    const auto first = surface_.ops();
    surface_.clear();
    ResetView();
    TestPage();
    ASSERT_EQ(surface_.ops().size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(surface_.ops()[i].points, first[i].points) << i;
        EXPECT_EQ(surface_.ops()[i].text, first[i].text) << i;
    }
}

} // namespace
} // namespace spylerom::printing::test
