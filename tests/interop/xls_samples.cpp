// Writes the workbooks the interop check reads back with other programs: exports of measurement
// tables (with the tables beside them) and workbooks exercising the library directly (with the
// cells they must hold as JSON). Every workbook comes with the "Workbook" stream as assembled.
//
// usage: xls_samples DIR [--large]
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "../support/export_table.h"
#include "../support/json_text.h"
#include "export/xls_export.h"
#include "xls/biff8_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace zond;
using testing::jsonString;

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void saveWithStream(const xls::Workbook& book, const fs::path& xlsPath) {
    xls::Biff8Writer writer;
    writeBytes(fs::path(xlsPath).replace_extension(".stream"), writer.assemble(book).bytes());
    writer.save(book, xlsPath);
}

void writeExport(const fs::path& dir, const std::string& name, int rows) {
    const auto table = dir / (name + ".db");
    testing::writeMeasurementTable(table, testing::sampleMeasurementRows(rows));
    dbf::DbfTable opened;
    measurement::openMeasurementTable(opened, table);
    saveWithStream(*exporting::buildExportWorkbook(opened), dir / (name + ".xls"));
}

// The cells of a workbook as JSON: per sheet its name, its cells [row, column, value] (a number,
// a text, or null for a blank) and its merged ranges [top, bottom, left, right].
std::string expectedCells(const xls::Workbook& book) {
    std::string json = "{\"sheets\": [";
    for (int s = 0; s < book.sheetCount(); ++s) {
        const auto& sheet = book.sheet(s);
        json += (s ? ", " : "") + std::string("{\"name\": ") + jsonString(sheet.name()) +
                ", \"cells\": [";
        std::string merged;
        for (std::size_t i = 0; i < sheet.rangeCount(); ++i) {
            const auto range = sheet.view(i);
            const auto& r = range.rect;
            json +=
                (i ? ", [" : "[") + std::to_string(r.top) + ", " + std::to_string(r.left) + ", ";
            if (range.kind == xls::CellKind::Number) {
                char number[64];
                std::snprintf(number, sizeof number, "%.17g", range.number);
                json += number;
            } else {
                json += range.text.empty() ? "null" : jsonString(range.text);
            }
            json += "]";
            if (!r.isSingleCell()) {
                merged += (merged.empty() ? "[" : ", [") + std::to_string(r.top) + ", " +
                          std::to_string(r.bottom) + ", " + std::to_string(r.left) + ", " +
                          std::to_string(r.right) + "]";
            }
        }
        json += "], \"merged\": [" + merged + "]}";
    }
    return json + "]}";
}

void writeLibraryCase(const fs::path& dir, const std::string& name, const xls::Workbook& book) {
    saveWithStream(book, dir / (name + ".xls"));
    std::ofstream(dir / (name + ".json")) << expectedCells(book);
}

void writeLongText(const fs::path& dir) {
    xls::Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.setName("Длинный текст");
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += i % 10 == 9 ? "я" : std::string(1, static_cast<char>('a' + i % 26));
    }
    sheet.range(0, 0, 0, 0).setValue(text);
    sheet.range(1, 0, 1, 0).setValue(3.5);
    sheet.range(0, 1, 0, 1).setValue(std::string("после"));
    writeLibraryCase(dir, "long_text", book);
}

void writeMerged(const fs::path& dir) {
    xls::Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.setName("Объединение");
    sheet.range(0, 0, 1, 1).setValue(std::string("слитно"));
    sheet.range(2, 0, 4, 0).setValue(std::int32_t{7});
    sheet.range(0, 3, 0, 5);
    sheet.range(3, 3, 3, 3).setValue(std::string("x"));
    sheet.range(1, 4, 1, 4).setValue(-0.125);
    writeLibraryCase(dir, "merged", book);
}

// A font colour outside the default palette, and a second sheet.
void writeColour(const fs::path& dir) {
    xls::Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.setName("Цвет");
    auto cell = sheet.range(0, 0, 0, 0);
    cell.setValue(std::string("цветной"));
    xls::RangeFormat format;
    format.font.colour = xls::rgb(0x12, 0x34, 0x56);
    format.font.style = xls::kBold;
    cell.setFormat(format);
    sheet.range(1, 0, 1, 0).setValue(std::string("обычный"));
    book.addWorksheet().range(0, 0, 0, 0).setValue(std::int32_t{2});
    writeLibraryCase(dir, "colour", book);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: xls_samples DIR [--large]\n";
        return 2;
    }
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    if (argc > 2 && std::string(argv[2]) == "--large") {
        writeExport(dir, "export_65535", 65535);
        return 0;
    }
    writeExport(dir, "export_empty", 0);
    writeExport(dir, "export_1", 1);
    writeExport(dir, "export_33", 33);
    writeExport(dir, "export_5000", 5000);
    writeLongText(dir);
    writeMerged(dir);
    writeColour(dir);
    return 0;
}
