#include "xls/style_tables.h"

#include <algorithm>

#include "text/byte_order.h"
#include "text/codepage.h"
#include "xls/biff8_records.h"

namespace zond::xls {

namespace {

using zond::bytes::appendU16;
using zond::bytes::appendU8;

constexpr std::size_t kBuiltInFonts = 4;

// Letter case folded for comparing format strings: Latin and Cyrillic letters.
std::u32string folded(std::string_view utf8) {
    std::u32string text = text::toUtf32(utf8);
    for (char32_t& ch : text) {
        if (ch >= U'A' && ch <= U'Z') {
            ch += 0x20;
        } else if (ch >= U'\u0410' && ch <= U'\u042F') {
            ch += 0x20;
        } else if (ch >= U'\u0400' && ch <= U'\u040F') {
            ch += 0x50;
        }
    }
    return text;
}

bool isProtected(Colour colour) {
    return std::ranges::find(kProtectedColours, colour) != kProtectedColours.end();
}

}  // namespace

StyleTables::StyleTables(UsedColours& usedColours) : used_(usedColours), palette_(kDefaultPalette) {
    used_.clear();
    Font builtIn;
    builtIn.colour = kWindowText;
    fonts_.assign(kBuiltInFonts, builtIn);
    for (const auto& format : kBuiltInFormats) {
        formats_.emplace_back(format.text, format.index);
    }
    cellXfs_.assign(kFixedCellXfs.begin(), kFixedCellXfs.end());
}

std::uint8_t StyleTables::paletteIndex(Colour colour) {
    const Colour value = resolveColour(colour);
    used_.insert(value);
    if (const auto hit = std::ranges::find(palette_, value); hit != palette_.end()) {
        return static_cast<std::uint8_t>(kFirstPaletteIndex + (hit - palette_.begin()));
    }
    const auto free = std::ranges::find_if(
        palette_, [&](Colour entry) { return !isProtected(entry) && !used_.contains(entry); });
    if (free == palette_.end()) {
        return kFirstPaletteIndex;
    }
    *free = value;
    paletteChanged_ = true;
    return static_cast<std::uint8_t>(kFirstPaletteIndex + (free - palette_.begin()));
}

std::uint16_t StyleTables::fontIndex(const Font& font) {
    auto it = std::ranges::find(fonts_, font);
    if (it == fonts_.end()) {
        fonts_.push_back(font);
        it = fonts_.end() - 1;
    }
    const auto position = static_cast<std::uint16_t>(it - fonts_.begin());
    // BIFF font index 4 does not exist.
    return position < kBuiltInFonts ? position : position + 1;
}

std::uint16_t StyleTables::formatIndex(const std::string& format) {
    if (format.empty()) {
        return 0;  // General
    }
    const auto key = folded(format);
    const auto it = std::ranges::find_if(
        formats_, [&](const auto& entry) { return folded(entry.first) == key; });
    if (it != formats_.end()) {
        return it->second;
    }
    const auto index = static_cast<std::uint16_t>(kFirstCustomFormat + customFormats_++);
    formats_.emplace_back(format, index);
    return index;
}

std::uint8_t StyleTables::borderColour(const Border& border) {
    return border.lineStyle == 0 ? 0 : paletteIndex(border.colour);
}

std::uint16_t StyleTables::xfIndex(const CellStyle& style, const CellStyleIndices& indices) {
    const RangeFormat& f = *style.format;
    const auto& left = f.borders[BorderEdge::Left];
    const auto& right = f.borders[BorderEdge::Right];
    const auto& top = f.borders[BorderEdge::Top];
    const auto& bottom = f.borders[BorderEdge::Bottom];
    // Colour lookups in this order: left, right, top, bottom, pattern foreground, background.
    const std::uint16_t leftColour = borderColour(left);
    const std::uint16_t rightColour = borderColour(right);
    const std::uint32_t topColour = borderColour(top);
    const std::uint32_t bottomColour = borderColour(bottom);
    const std::uint16_t foreground = paletteIndex(f.patternForeground);
    const std::uint16_t background = paletteIndex(f.patternBackground);

    XfBody xf{};
    zond::bytes::writeU16(&xf[0], indices.font);
    zond::bytes::writeU16(&xf[2], indices.format);
    zond::bytes::writeU16(&xf[4], 0x0001);
    xf[6] = static_cast<std::uint8_t>((static_cast<unsigned>(f.horizontal) & 0x07) |
                                      (f.wrapText ? 0x08 : 0x00) |
                                      ((static_cast<unsigned>(f.vertical) & 0x03) << 4));
    xf[7] = f.rotation;
    zond::bytes::writeU16(&xf[8], style.merged ? 0x7C20 : 0x7C00);
    zond::bytes::writeU16(&xf[10], static_cast<std::uint16_t>((left.lineStyle & 0x0F) |
                                                              ((right.lineStyle & 0x0F) << 4) |
                                                              ((top.lineStyle & 0x0F) << 8) |
                                                              ((bottom.lineStyle & 0x0F) << 12)));
    zond::bytes::writeU16(
        &xf[12], static_cast<std::uint16_t>((leftColour & 0x7F) | ((rightColour & 0x7F) << 7)));
    zond::bytes::writeU32(&xf[14], (topColour & 0x7F) | ((bottomColour & 0x7F) << 7) |
                                       (static_cast<std::uint32_t>(f.fillPattern & 0x3F) << 26));
    zond::bytes::writeU16(
        &xf[18], static_cast<std::uint16_t>((foreground & 0x7F) | ((background & 0x7F) << 7)));

    auto it = std::ranges::find(cellXfs_, xf);
    if (it == cellXfs_.end()) {
        cellXfs_.push_back(xf);
        it = cellXfs_.end() - 1;
    }
    return static_cast<std::uint16_t>(kStyleXfCount + (it - cellXfs_.begin()));
}

void StyleTables::writeFonts(BiffStream& out) {
    std::vector<std::uint8_t> data;
    for (const auto& font : fonts_) {
        const auto name = text::toUtf16(font.name);
        data.clear();
        appendU16(data, static_cast<std::uint16_t>(font.size * 20));
        appendU16(data, static_cast<std::uint16_t>(((font.style & kItalic) ? 0x0002 : 0) |
                                                   ((font.style & kStrikeOut) ? 0x0008 : 0)));
        appendU16(data, paletteIndex(font.colour));
        appendU16(data, (font.style & kBold) ? 1000 : 100);
        appendU16(data, 0);
        appendU8(data, (font.style & kUnderline) ? 1 : 0);
        appendU8(data, font.pitch);
        appendU8(data, font.charset);
        appendU8(data, 0);
        appendU8(data, static_cast<std::uint8_t>(name.size()));
        appendU8(data, biff8::kUncompressedFlag);
        appendCharacters(data, name);
        out.writeRecord(biff8::kFont, data);
    }
}

void StyleTables::writeFormats(BiffStream& out) const {
    std::vector<std::uint8_t> data;
    for (const auto& [format, index] : formats_) {
        data.clear();
        appendU16(data, index);
        appendString16(data, text::toUtf16(format));
        out.writeRecord(biff8::kFormat, data);
    }
}

void StyleTables::writeXfs(BiffStream& out) const {
    for (const auto& xf : kStyleXfs) {
        out.writeRecord(biff8::kXf, xf);
    }
    for (const auto& xf : cellXfs_) {
        out.writeRecord(biff8::kXf, xf);
    }
}

void StyleTables::writeStylesAndPalette(BiffStream& out) const {
    for (const auto& style : kBuiltInStyles) {
        out.writeRecord(biff8::kStyle, style);
    }
    if (!paletteChanged_) {
        return;
    }
    std::vector<std::uint8_t> data;
    appendU16(data, static_cast<std::uint16_t>(kPaletteSize));
    for (const Colour colour : palette_) {
        appendU8(data, static_cast<std::uint8_t>(colour));
        appendU8(data, static_cast<std::uint8_t>(colour >> 8));
        appendU8(data, static_cast<std::uint8_t>(colour >> 16));
        appendU8(data, 0);
    }
    out.writeRecord(biff8::kPalette, data);
}

std::vector<CellStyleIndices> StyleTables::write(BiffStream& out,
                                                 std::span<const CellStyle> styles) {
    std::vector<CellStyleIndices> indices(styles.size());
    for (std::size_t i = 0; i < styles.size(); ++i) {
        indices[i].font = fontIndex(styles[i].format->font);
    }
    writeFonts(out);
    for (std::size_t i = 0; i < styles.size(); ++i) {
        indices[i].format = formatIndex(styles[i].format->numberFormat);
    }
    writeFormats(out);
    for (std::size_t i = 0; i < styles.size(); ++i) {
        indices[i].xf = xfIndex(styles[i], indices[i]);
    }
    writeXfs(out);
    writeStylesAndPalette(out);
    return indices;
}

}  // namespace zond::xls
