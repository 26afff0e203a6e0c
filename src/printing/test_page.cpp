#include "printing/test_page.h"

#include "printing/letterhead.h"
#include "printing/page_layout.h"
#include "printing/primitives.h"

#include <string>

namespace spylerom::printing {

namespace {

// A cylinder lying on its side; the white-filled ellipses cover the grid and the ends of the
// long sides, and an arrow points right inside it.
void cylinder() {
    SetLineWidth(1);
    SetOriginX(10);
    SetOriginY(40);
    DrawLine(20, 0, 140, 0);
    DrawLine(20, 100, 140, 0);
    DrawArc(0, 0, 40, 100, 20, 0, 20, 100);
    DrawEllipse(140, 0, 180, 100);
    DrawEllipse(143, 5, 177, 95);
    SetFont("Arial", 10);
    DrawArrow(113, 10, 2, 3);
}

void textBlock() {
    SetOriginX(10);
    SetOriginY(170);
    DrawLine(100, 0, 0, 30);
    SetFont("Arial Black", 12);
    TextAt(10, 0, "TESTING");
    HatchedBox(21, 11, 29, 19, 7);
    HatchedBox(21, 26, 29, 34, 7);
    for (const char* line : {"Test 123", "Ny linje under", "Skal være på", "Samme vertikale linje"}) {
        TextRight(100, line);
        NewLines(1);
    }
    SetFont("Arial", 10);
    TextAt(38, 24, "Testing 1234");
    FooterText("tegningskilde: TEST", 1);
}

void typefaces() {
    SetFont("Courier New", 10);
    SetOriginX(0);
    SetOriginY(0);
    std::string ruler;
    for (int i = 0; i < 9; ++i)
        ruler += "1234567890";
    TextAt(1, 21, ruler + "12");
    SetFont("Arial", 22);
    TextAt(1, 31, "Dette er en test 123 ÆØÅ xxxx Dette er en test 123 ÆØÅ");
    SetFont("Times New Roman", 16);
    TextAt(1, 41, "Dette er en test 123 ÆØÅ xxxx Dette er en test 123 xxx ÆØÅ Dette er en test 123 ÆØÅ");
}

void rotatedFan() {
    SetFont("Arial", 12);
    for (int i = 1; i <= 36; ++i)
        TextRotated(i * 100, 100, 250, "Rotert tekst, " + std::to_string(i * 10) + " grader");
}

} // namespace

void TestPage() {
    Letterhead("Test utskrift");
    cylinder();
    textBlock();
    typefaces();
    rotatedFan();
}

} // namespace spylerom::printing
