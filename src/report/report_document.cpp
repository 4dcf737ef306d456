#include "report/report_document.h"

namespace zond::report {

std::optional<TextPosition> findText(const ReportDocument& document, const QString& needle,
                                     std::optional<TextPosition> after) {
    if (needle.isEmpty() || document.pages.empty()) {
        return std::nullopt;
    }
    const int pageCount = static_cast<int>(document.pages.size());
    const int startPage = after ? after->page : 0;
    // Visit the start page's items after `after`, the following pages, then wrap round to the
    // start page's items up to and including `after`.
    for (int step = 0; step <= pageCount; ++step) {
        const int page = (startPage + step) % pageCount;
        const auto& items = document.pages[static_cast<std::size_t>(page)].items;
        int first = 0;
        int end = static_cast<int>(items.size());
        if (after && step == 0) {
            first = after->item + 1;
        } else if (after && step == pageCount) {
            end = after->item + 1;
        } else if (!after && step == pageCount) {
            break;
        }
        for (int item = first; item < end; ++item) {
            const PageItem& candidate = items[static_cast<std::size_t>(item)];
            if (candidate.kind == PageItem::Kind::Text &&
                candidate.text.contains(needle, Qt::CaseInsensitive)) {
                return TextPosition{page, item};
            }
        }
    }
    return std::nullopt;
}

}  // namespace zond::report
