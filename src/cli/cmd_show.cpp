// zond8t-cli show: the live rows of a table as tab-separated UTF-8.
#include <iostream>

#include "cli/commands.h"
#include "dbf/dbf_table.h"
#include "text/number_text.h"

namespace zond::cli {

namespace {

std::string cellText(const dbf::DbfRecord& record, const dbf::DbfFieldDescriptor& field,
                     int index) {
    if (record.isNull(index)) {
        return {};
    }
    switch (field.kind) {
        case dbf::FieldKind::SmallInt:
        case dbf::FieldKind::Int32:
        case dbf::FieldKind::Int64:
            return std::to_string(record.asInteger(index));
        case dbf::FieldKind::Float:
            return text::roundTripText(record.asDouble(index));
        default:
            return record.text(index);
    }
}

int runShow(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 1, 1);
    dbf::DbfTable table;
    table.open(parsed.file(0), dbf::OpenMode::ReadOnly);
    const auto& fields = table.fields();
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        line += (i == 0 ? "" : "\t") + fields[i].name;
    }
    std::cout << line << '\n';
    for (bool more = table.first(); more; more = table.next()) {
        const dbf::DbfRecord record = table.current();
        line.clear();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i != 0) {
                line += '\t';
            }
            line += cellText(record, fields[i], static_cast<int>(i));
        }
        std::cout << line << '\n';
    }
    return kExitOk;
}

}  // namespace

const Command kShowCommand{
    "show",
    "print a table's rows as tab-separated text",
    "usage: zond8t-cli show FILE\n"
    "\n"
    "Prints the live rows of the table FILE in file order as tab-separated UTF-8: a line of\n"
    "field names, then one line per row. Integers are printed in decimal, floating-point values\n"
    "in the shortest form that reads back exactly ('.' as decimal point), empty values as empty\n"
    "fields.\n",
    runShow,
};

}  // namespace zond::cli
