#include "report/page_selection.h"

#include <QStringList>
#include <algorithm>
#include <set>

namespace zond::report {

namespace {

std::optional<int> pageNumber(const QString& text) {
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    if (!ok || number < 1) {
        return std::nullopt;
    }
    return number;
}

}  // namespace

std::optional<std::vector<int>> parsePageNumbers(const QString& text, int pageCount) {
    std::set<int> pages;
    const QStringList parts = text.split(u',');
    for (const QString& part : parts) {
        const qsizetype dash = part.indexOf(u'-');
        const auto first = pageNumber(dash < 0 ? part : part.left(dash));
        const auto last = dash < 0 ? first : pageNumber(part.mid(dash + 1));
        if (!first || !last || *last < *first) {
            return std::nullopt;
        }
        for (int page = *first; page <= std::min(*last, pageCount); ++page) {
            pages.insert(page);
        }
    }
    return std::vector<int>(pages.begin(), pages.end());
}

std::vector<int> printSequence(const PrintRequest& request, int pageCount) {
    std::vector<int> numbers;
    if (request.pageNumbers.trimmed().isEmpty()) {
        for (int page = 1; page <= pageCount; ++page) {
            numbers.push_back(page);
        }
    } else if (auto listed = parsePageNumbers(request.pageNumbers, pageCount)) {
        numbers = std::move(*listed);
    }
    std::erase_if(numbers, [&](int page) {
        return (request.parity == PageParity::Odd && page % 2 == 0) ||
               (request.parity == PageParity::Even && page % 2 != 0);
    });
    const int copies = std::max(1, request.copies);
    std::vector<int> sequence;
    sequence.reserve(numbers.size() * static_cast<std::size_t>(copies));
    if (request.collate) {
        for (int copy = 0; copy < copies; ++copy) {
            for (const int page : numbers) {
                sequence.push_back(page - 1);
            }
        }
    } else {
        for (const int page : numbers) {
            sequence.insert(sequence.end(), static_cast<std::size_t>(copies), page - 1);
        }
    }
    return sequence;
}

}  // namespace zond::report
