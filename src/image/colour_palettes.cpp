#include "image/colour_palettes_p.h"

namespace kalder::image::palettes {
namespace {

constexpr void put(PaletteTable& p, int index, int r, int g, int b) {
    p[static_cast<std::size_t>(index) * 3] = static_cast<std::uint8_t>(r);
    p[static_cast<std::size_t>(index) * 3 + 1] = static_cast<std::uint8_t>(g);
    p[static_cast<std::size_t>(index) * 3 + 2] = static_cast<std::uint8_t>(b);
}

constexpr PaletteTable makeWebSafe() {
    PaletteTable p{};
    for (int b = 0; b < 6; ++b)
        for (int g = 0; g < 6; ++g)
            for (int r = 0; r < 6; ++r) put(p, b * 36 + g * 6 + r, 51 * r, 51 * g, 51 * b);
    return p;
}

constexpr PaletteTable makeBlackWhite() {
    PaletteTable p{};
    put(p, 1, 255, 255, 255);
    return p;
}

constexpr int kVga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                             {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                             {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                             {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

constexpr PaletteTable makeVga() {
    PaletteTable p{};
    for (int i = 0; i < 16; ++i) put(p, i, kVga[i][0], kVga[i][1], kVga[i][2]);
    return p;
}

constexpr int kSystemLow[10][3] = {{0, 0, 0},       {128, 0, 0},    {0, 128, 0},   {128, 128, 0},
                                   {0, 0, 128},     {128, 0, 128},  {0, 128, 128}, {128, 128, 128},
                                   {192, 220, 192}, {166, 202, 240}};
constexpr int kSystemHigh[10][3] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};

// Index bits rrrgggbb: red and green in eight steps of 255/7 (rounded), blue in four of 85.
// The static colours then take the first and last ten places of that grid.
constexpr PaletteTable makeSystem() {
    PaletteTable p{};
    for (int i = 0; i < 256; ++i) {
        const int r = (i >> 5) & 7;
        const int g = (i >> 2) & 7;
        const int b = i & 3;
        put(p, i, (r * 255 + 3) / 7, (g * 255 + 3) / 7, b * 85);
    }
    for (int i = 0; i < 10; ++i) {
        put(p, i, kSystemLow[i][0], kSystemLow[i][1], kSystemLow[i][2]);
        put(p, 246 + i, kSystemHigh[i][0], kSystemHigh[i][1], kSystemHigh[i][2]);
    }
    return p;
}

constexpr PaletteTable kWebSafeTable = makeWebSafe();
constexpr PaletteTable kBlackWhiteTable = makeBlackWhite();
constexpr PaletteTable kVgaTable = makeVga();
constexpr PaletteTable kSystemTable = makeSystem();

}  // namespace

const PaletteTable& webSafe() { return kWebSafeTable; }
const PaletteTable& blackWhite() { return kBlackWhiteTable; }
const PaletteTable& vga() { return kVgaTable; }
const PaletteTable& systemColours() { return kSystemTable; }

const std::uint8_t kOrderedMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

}  // namespace kalder::image::palettes
