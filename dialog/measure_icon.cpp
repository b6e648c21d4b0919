#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "dialog/measure_resources.h"

namespace {

// The 16 colours of both images (0x00RRGGBB), the standard 16-colour palette.
constexpr std::uint32_t kPalette[16] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// A theodolite on its tripod, under a red arc for the angle it measures: black outlines, a
// silver telescope with an aqua objective, a yellow body on a grey circle plate, olive legs.
// One character per pixel: a hexadecimal palette index, or '.' for a transparent pixel.
// clang-format off
constexpr std::string_view kLarge[32] = {
    "................................",
    "...............999..............",
    "............99.....99...........",
    "..........9...........9.........",
    ".........9.............9........",
    "......00000000000000000000......",
    "....00887777777777777777700.....",
    "...0ff877fffffffffffffff7eee0...",
    "...0ff877777777777777777768ee0..",
    "....00880000000777000000000e0...",
    "...........0bb0777000bb0........",
    "...........0bb0070700bb0........",
    "...........0bb0077700bb0........",
    "...........0bbbbbbbbbbbb0.......",
    "...........0bbbbbbbbbbbb0.......",
    "..........0888888888888880......",
    ".........0777777777777777770....",
    "..........0000000000000000......",
    "............0bb0bbb0bb0.........",
    ".............0000000000.........",
    "............0888888880..........",
    ".............00330330...........",
    "............033.0330.330........",
    "...........033..0330..330.......",
    "..........033...0330...330......",
    ".........033....0330....330.....",
    "........033.....0330.....330....",
    ".......033......0330......330...",
    "......033.......0330.......330..",
    ".....088........0880........880.",
    ".....00.........000..........00.",
    "................................",
};

constexpr std::string_view kSmall[16] = {
    "................",
    "......9999......",
    "....9......9....",
    "...0000000000...",
    "..0f777777777e0.",
    "...00007700000..",
    "......0bbb0.....",
    ".....0bbbbb0....",
    "....088888880...",
    ".....0000000....",
    "......08880.....",
    ".....03.03.30...",
    "....03..03..30..",
    "...03...03...30.",
    "..08....08....80",
    "..0.....00.....0",
};
// clang-format on

template <std::size_t N>
constexpr bool IsSquareArt(const std::string_view (&rows)[N]) {
    for (std::string_view row : rows) {
        if (row.size() != N) return false;
        for (char c : row) {
            if (c != '.' && !(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'f')) return false;
        }
    }
    return true;
}
static_assert(IsSquareArt(kLarge) && IsSquareArt(kSmall), "an icon row has a wrong width or pixel");

constexpr std::uint8_t kTransparent = 16;

std::uint8_t PixelIndex(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return kTransparent;
}

template <std::size_t N>
win::IconImage MakeImage(const std::string_view (&rows)[N]) {
    win::IconImage image;
    image.width = static_cast<int>(N);
    image.height = static_cast<int>(N);
    std::copy(std::begin(kPalette), std::end(kPalette), std::begin(image.palette));
    image.pixels.reserve(N * N);
    for (std::string_view row : rows) {
        for (char c : row) image.pixels.push_back(PixelIndex(c));
    }
    return image;
}

}  // namespace

const win::IconResource& MeasureIcon() {
    static const win::IconResource icon{{MakeImage(kLarge), MakeImage(kSmall)}};
    return icon;
}
