// Test helper: appends rows read from standard input to a table, each a tab-separated line of
// field values in field order (empty = null). A line starting with '*' appends the rest of the
// line and marks it deleted.
#include <iostream>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fill_table FILE < rows.tsv\n";
        return 2;
    }
    try {
        zond::dbf::DbfTable table;
        table.open(argv[1]);
        std::string line;
        while (std::getline(std::cin, line)) {
            const bool deleted = line.starts_with('*');
            if (deleted) {
                line.erase(0, 1);
            }
            auto record = table.blankRecord();
            std::size_t start = 0;
            for (std::size_t field = 0; field < table.fields().size(); ++field) {
                if (start > line.size()) {
                    break;  // the rest stays null
                }
                const std::size_t end = std::min(line.find('\t', start), line.size());
                record.setText(static_cast<int>(field), line.substr(start, end - start));
                start = end + 1;
            }
            const auto number = table.append(record);
            if (deleted) {
                table.markDeleted(number);
            }
        }
    } catch (const std::exception& error) {
        std::cerr << "fill_table: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
