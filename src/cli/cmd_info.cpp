// zond8t-cli info: what a table file's header and field descriptors say.
#include <cstdio>
#include <iostream>

#include "cli/commands.h"
#include "dbf/dbf_table.h"

namespace zond::cli {

namespace {

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%02X", value);
    return text;
}

std::string variantName(const dbf::DbfHeader& header) {
    switch (header.version & 0x07) {
        case 3:
            return header.languageId == 0 ? "dBase III" : "dBase IV";
        case 4:
            return "dBase 7";
        default:
            return "FoxPro";
    }
}

std::string kindName(dbf::FieldKind kind) {
    switch (kind) {
        case dbf::FieldKind::Text:
            return "text";
        case dbf::FieldKind::SmallInt:
            return "small integer";
        case dbf::FieldKind::Int32:
            return "32-bit integer";
        case dbf::FieldKind::Int64:
            return "64-bit integer";
        case dbf::FieldKind::Float:
            return "floating-point";
        case dbf::FieldKind::Date:
            return "date";
        case dbf::FieldKind::Logical:
            return "logical";
        case dbf::FieldKind::Memo:
            return "memo";
    }
    return "?";
}

int runInfo(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 1, 1);
    dbf::DbfTable table;
    table.open(parsed.file(0), dbf::OpenMode::ReadOnly);
    const dbf::DbfHeader& header = table.header();
    char date[16];
    std::snprintf(date, sizeof(date), "%04d-%02d-%02d", 1900 + header.year, header.month,
                  header.day);
    std::cout << "file: " << table.path().string() << '\n'
              << "version: " << hexByte(header.version) << " (" << variantName(header) << ")\n"
              << "last update: " << date << '\n'
              << "records: " << table.recordCount() << '\n'
              << "live records: " << table.liveCount() << '\n'
              << "header length: " << header.headerLength << '\n'
              << "record length: " << header.recordLength << '\n'
              << "production index: " << hexByte(header.productionIndex) << '\n'
              << "language ID: " << hexByte(header.languageId) << " (code page "
              << table.codePage().number() << ")\n"
              << "fields: " << table.fields().size() << '\n';
    char line[128];
    std::snprintf(line, sizeof(line), "  %-4s %-10s %-4s %5s %8s %6s  %s\n", "#", "name", "type",
                  "width", "decimals", "offset", "kind");
    std::cout << line;
    int number = 0;
    for (const auto& field : table.fields()) {
        std::snprintf(line, sizeof(line), "  %-4d %-10s %-4c %5d %8d %6d  ", ++number,
                      field.name.c_str(), field.type, field.width, field.decimals, field.offset);
        std::cout << line << kindName(field.kind) << '\n';
    }
    return kExitOk;
}

}  // namespace

const Command kInfoCommand{
    "info",
    "describe a table file",
    "usage: zond8t-cli info FILE\n"
    "\n"
    "Prints the header of the table FILE (version, date of the last update, record counts,\n"
    "lengths, index flag, language ID and its code page) and its field descriptors.\n",
    runInfo,
};

}  // namespace zond::cli
