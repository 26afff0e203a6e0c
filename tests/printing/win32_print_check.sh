#!/usr/bin/env bash
# The test page printed by the Windows build (under Wine) on the system's printer, which
# scripts/test-win32.sh makes a cups-pdf queue of a private cupsd: one job named after its title,
# one page, and the green title bar in the page's top right half (a raster check of the PDF).
#   win32_print_check.sh WINE PRINTING_TESTS_EXE GTEST_FILTER
# Exit status 77 (skipped) when no such queue was set up (SPYLEROM_WIN32_PRINT_DIR: its PDFs) or the
# test skipped itself; 1 (failed) instead under SPYLEROM_REQUIRE_PRINTER=1 (win32_print_queue.sh).
set -euo pipefail
wine=$1
exe=$2
filter=$3
# shellcheck source=win32_print_queue.sh
. "$(dirname "$0")/win32_print_queue.sh"
need_print_queue
dir=$print_dir
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wait_for_idle_queue "$dir"
ls "$dir" | sort >"$work/before"
run_print_tests "$wine" "$exe" "$filter"
wait_for_idle_queue "$dir"
ls "$dir" | sort >"$work/after"
mapfile -t added < <(comm -13 "$work/before" "$work/after" | grep '\.pdf$')
if [ "${#added[@]}" -ne 1 ]; then
    echo "one new PDF expected, found: ${added[*]:-none}"
    exit 1
fi
pdf="$dir/${added[0]}"
pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
if [ "$pages" != 1 ]; then
    echo "$pdf has $pages pages"
    exit 1
fi
pdftoppm -r 40 -singlefile "$pdf" "$work/page"
/usr/bin/python3 - "$work/page.ppm" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
fields, pos = [], 0
while len(fields) < 4:  # P6 width height maxval, with comments and blanks between
    while data[pos:pos + 1].isspace():
        pos += 1
    if data[pos:pos + 1] == b"#":
        pos = data.index(b"\n", pos)
        continue
    end = pos
    while not data[end:end + 1].isspace():
        end += 1
    fields.append(data[pos:end])
    pos = end
width, height = int(fields[1]), int(fields[2])
pixels = data[pos + 1:]
xs, ys = [], []
for y in range(height):
    row = pixels[y * width * 3:(y + 1) * width * 3]
    for x in range(width):
        r, g, b = row[3 * x], row[3 * x + 1], row[3 * x + 2]
        if r < 50 and 100 < g < 160 and b < 50:
            xs.append(x)
            ys.append(y)
if len(xs) < width * height // 200:
    sys.exit("too little of the title bar's green: %d pixels of %dx%d" % (len(xs), width, height))
if min(xs) < width * 0.45 or max(ys) > height * 0.12:
    sys.exit("the green lies outside the top right of the page: x %d..%d, y %d..%d of %dx%d"
             % (min(xs), max(xs), min(ys), max(ys), width, height))
print("title bar: x %d..%d, y %d..%d of %dx%d" % (min(xs), max(xs), min(ys), max(ys), width, height))
PY
