// Vek's own pixel glyphs: a 3x5 face for the small labels, a bold 7x9 face
// for the product name, and 4x7 dot-matrix digits for the time display.
#pragma once

#include <string_view>

namespace skin {

struct Glyph {
    int width = 0;
    int height = 0;
    const char* rows[9] = {};  // '#' marks an inked pixel
    bool ink(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && rows[y][x] == '#';
    }
};

// Small capitals, digits and a few signs, 5 rows high (most glyphs 3 wide).
const Glyph& smallGlyph(char c);
// Width of a text in the small face, with one pixel between glyphs.
int smallTextWidth(std::string_view text);

// Bold capitals for the product name, 9 rows high.
const Glyph& logoGlyph(char c);

// Dot-matrix digits 0-9 and ':' in dot units, 4 x 7.
const Glyph& dotGlyph(char c);

}  // namespace skin
