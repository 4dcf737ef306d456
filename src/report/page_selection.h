// Which pages a print job prints, in which order, and how many times.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace zond::report {

enum class PageParity { All, Odd, Even };

struct PrintRequest {
    QString printerName;
    int copies = 1;
    bool collate = true;
    QString pageNumbers;  // "1,3,5-12"; empty for all pages
    PageParity parity = PageParity::All;
};

// The page numbers (1-based, ascending, each once) a list such as "1,3,5-12" names; nothing when
// the text is not such a list. Numbers beyond `pageCount` are dropped.
std::optional<std::vector<int>> parsePageNumbers(const QString& text, int pageCount);

// The pages to put on paper (0-based), copies and collation included: collated copies repeat
// the whole range, uncollated ones repeat each page. Empty for an unreadable page list.
std::vector<int> printSequence(const PrintRequest& request, int pageCount);

}  // namespace zond::report
