#include "report/report_layout.h"

#include <algorithm>
#include <string>

#include "text/number_text.h"

namespace zond::report {

QString formatValue(const std::optional<QString>& value, ValueFormat format) {
    if (!value) {
        return {};
    }
    if (format == ValueFormat::OneDecimalComma) {
        if (const auto number = text::parseNumber(value->toStdString())) {
            return QString::fromStdString(text::fixedNumberText(*number, 1, ','));
        }
    }
    return *value;
}

namespace {

class Layout {
  public:
    Layout(const ReportTemplate& report, ReportRows& rows, LayoutProgress* progress)
        : report_(report),
          rows_(rows),
          progress_(progress),
          title_(report.band(BandKind::ReportTitle)),
          headings_(report.band(BandKind::PageHeader)),
          data_(report.band(BandKind::MasterData)),
          footer_(report.band(BandKind::PageFooter)) {
        for (const TemplateBand& band : report.bands) {
            for (const TemplateCell& cell : band.cells) {
                if (std::find(styles_.begin(), styles_.end(), cell.style) == styles_.end()) {
                    styles_.push_back(cell.style);
                }
            }
        }
        QStringList fields;
        for (const TemplateCell& cell : data_.cells) {
            if (!cell.field.isEmpty()) {
                fields << cell.field;
            }
        }
        rows_.bind(fields);
    }

    // Pass 1 places the bands without producing anything; pass 2 produces the pages.
    std::optional<ReportDocument> run() {
        const auto counted = walk(LayoutPass::Counting);
        if (!counted) {
            return std::nullopt;
        }
        totalPages_ = *counted;
        document_ = ReportDocument{
            report_.pageWidth, report_.pageHeight, report_.frameLineWidth, styles_, {}};
        document_.pages.reserve(static_cast<std::size_t>(totalPages_));
        if (!walk(LayoutPass::Producing)) {
            return std::nullopt;
        }
        return std::move(document_);
    }

  private:
    // Returns the page count, or nothing when cancelled.
    std::optional<int> walk(LayoutPass pass) {
        pass_ = pass;
        const double rowsEnd = report_.pageHeight - report_.marginBottom - footer_.height;
        int pages = 0;
        double y = 0;
        bool pageHasRows = false;
        const auto beginPage = [&] {
            ++pages;
            if (progress_ && !progress_->step(pass, pages)) {
                return false;
            }
            if (pass == LayoutPass::Producing) {
                document_.pages.emplace_back();
            }
            y = report_.marginTop;
            if (pages == 1) {
                y += place(title_, y, nullptr, pages);
            }
            y += place(headings_, y, nullptr, pages);
            pageHasRows = false;
            return true;
        };
        const auto endPage = [&] { place(footer_, rowsEnd, nullptr, pages); };

        if (!beginPage()) {
            return std::nullopt;
        }
        std::vector<std::optional<QString>> values;
        const std::size_t rowCount = rows_.count();
        for (std::size_t row = 0; row < rowCount; ++row) {
            // A row that would cross the footer starts the next page; a page always takes at
            // least one row, so a band taller than the page cannot loop.
            if (pageHasRows && y + data_.height > rowsEnd) {
                endPage();
                if (!beginPage()) {
                    return std::nullopt;
                }
            }
            if (pass == LayoutPass::Producing) {
                rows_.read(row, values);
            }
            y += place(data_, y, &values, pages);
            pageHasRows = true;
        }
        endPage();
        return pages;
    }

    // Adds the band's items at height y (pass 2 only) and returns the band's height.
    double place(const TemplateBand& band, double y,
                 const std::vector<std::optional<QString>>* values, int pageNumber) {
        if (pass_ == LayoutPass::Counting) {
            return band.height;
        }
        auto& items = document_.pages.back().items;
        std::size_t valueIndex = 0;
        for (const TemplateCell& cell : band.cells) {
            QString text;
            if (!cell.field.isEmpty()) {
                text = values ? formatValue((*values)[valueIndex++], cell.format) : QString();
            } else {
                text = cell.text;
                text.replace(QString::fromUtf16(kPageNumberTag), QString::number(pageNumber))
                    .replace(QString::fromUtf16(kTotalPagesTag), QString::number(totalPages_));
            }
            addCell(items, cell, y, band.height, text);
        }
        return band.height;
    }

    void addCell(std::vector<PageItem>& items, const TemplateCell& cell, double y, double height,
                 const QString& text) const {
        const auto x = static_cast<float>(cell.left);
        const auto top = static_cast<float>(y);
        const auto width = static_cast<float>(cell.width);
        const auto tall = static_cast<float>(height);
        if (!text.isEmpty()) {
            items.push_back(
                PageItem{PageItem::Kind::Text, styleIndex(cell.style), x, top, width, tall, text});
        }
        if (cell.frames == kFrameAll) {
            items.push_back(PageItem{PageItem::Kind::Rect, 0, x, top, width, tall, {}});
            return;
        }
        const auto line = [&](float x1, float y1, float dx, float dy) {
            items.push_back(PageItem{PageItem::Kind::Line, 0, x1, y1, dx, dy, {}});
        };
        if (cell.frames & kFrameLeft) {
            line(x, top, 0, tall);
        }
        if (cell.frames & kFrameTop) {
            line(x, top, width, 0);
        }
        if (cell.frames & kFrameRight) {
            line(x + width, top, 0, tall);
        }
        if (cell.frames & kFrameBottom) {
            line(x, top + tall, width, 0);
        }
    }

    quint16 styleIndex(const TextStyle& style) const {
        const auto found = std::find(styles_.begin(), styles_.end(), style);
        return static_cast<quint16>(found - styles_.begin());
    }

    const ReportTemplate& report_;
    ReportRows& rows_;
    LayoutProgress* progress_;
    const TemplateBand& title_;
    const TemplateBand& headings_;
    const TemplateBand& data_;
    const TemplateBand& footer_;
    std::vector<TextStyle> styles_;
    LayoutPass pass_ = LayoutPass::Counting;
    int totalPages_ = 0;
    ReportDocument document_;
};

}  // namespace

std::optional<ReportDocument> layoutReport(const ReportTemplate& report, ReportRows& rows,
                                           LayoutProgress* progress) {
    return Layout(report, rows, progress).run();
}

}  // namespace zond::report
