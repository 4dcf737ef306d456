// The shared formatting tables of a workbook being saved: colour palette, fonts, number formats
// and XFs, and the records that carry them.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "xls/biff_stream.h"
#include "xls/cell_value.h"
#include "xls/xls_constants.h"

namespace zond::xls {

// Colours requested during one save; they keep their palette entries.
using UsedColours = std::unordered_set<Colour>;
// The colours of palette indices 8 to 63.
using WorkingPalette = std::array<Colour, kPaletteSize>;

// A distinct formatting among the ranges being written: the range format, and whether the range
// covers more than one cell (which shows in the XF).
struct CellStyle {
    const RangeFormat* format = nullptr;
    bool merged = false;
};

struct CellStyleIndices {
    std::uint16_t font = 0;
    std::uint16_t format = 0;
    std::uint16_t xf = 0;
};

class StyleTables {
  public:
    // Starts from the default palette and an empty `usedColours`.
    explicit StyleTables(UsedColours& usedColours);

    // Palette index (8 to 63) of a colour; may give a free palette entry to it.
    std::uint8_t paletteIndex(Colour colour);

    // Builds the tables for `styles` (distinct, in the order ranges first use them) and writes
    // the FONT, FORMAT, XF, STYLE and, when the palette changed, PALETTE records. Returns the
    // indices of each style.
    std::vector<CellStyleIndices> write(BiffStream& out, std::span<const CellStyle> styles);

    const WorkingPalette& palette() const { return palette_; }
    bool paletteChanged() const { return paletteChanged_; }

  private:
    std::uint16_t fontIndex(const Font& font);
    std::uint16_t formatIndex(const std::string& format);
    std::uint16_t xfIndex(const CellStyle& style, const CellStyleIndices& indices);
    std::uint8_t borderColour(const Border& border);

    void writeFonts(BiffStream& out);
    void writeFormats(BiffStream& out) const;
    void writeXfs(BiffStream& out) const;
    void writeStylesAndPalette(BiffStream& out) const;

    UsedColours& used_;
    WorkingPalette palette_;
    bool paletteChanged_ = false;
    std::vector<Font> fonts_;
    std::vector<std::pair<std::string, std::uint16_t>> formats_;
    std::uint16_t customFormats_ = 0;
    std::vector<XfBody> cellXfs_;
};

}  // namespace zond::xls
