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
    Layout(const ReportTemplate& report, ReportRows& rows, LayoutProgress* progress,
           const TextHeight& textHeight)
        : report_(report),
          rows_(rows),
          progress_(progress),
          textHeight_(textHeight),
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
            if (pass == LayoutPass::Counting && textHeight_) {
                rows_.read(row, values);
                rowHeights_.push_back(static_cast<float>(rowHeight(values)));
            }
            const double height = rowHeights_.empty() ? data_.height : rowHeights_[row];
            if (pageHasRows && y + height > rowsEnd) {
                endPage();
                if (!beginPage()) {
                    return std::nullopt;
                }
            }
            if (pass == LayoutPass::Producing) {
                rows_.read(row, values);
            }
            y += place(data_, y, &values, pages, height);
            pageHasRows = true;
        }
        endPage();
        return pages;
    }

    // A data row is as tall as its band, or taller where a wrapped text needs more lines; the
    // band's room around one line stays around the text.
    double rowHeight(const std::vector<std::optional<QString>>& values) const {
        double height = data_.height;
        std::size_t valueIndex = 0;
        for (const TemplateCell& cell : data_.cells) {
            if (cell.field.isEmpty()) {
                continue;
            }
            const QString text = formatValue(values[valueIndex++], cell.format);
            if (!cell.style.wordWrap || text.isEmpty()) {
                continue;
            }
            const double oneLine = textHeight_(cell.style, cell.width, QStringLiteral("0"));
            const double needed = textHeight_(cell.style, cell.width, text);
            height = std::max(height, needed + data_.height - oneLine);
        }
        return height;
    }

    // Adds the band's items at height y (pass 2 only) and returns the height it takes.
    double place(const TemplateBand& band, double y,
                 const std::vector<std::optional<QString>>* values, int pageNumber) {
        return place(band, y, values, pageNumber, band.height);
    }
    double place(const TemplateBand& band, double y,
                 const std::vector<std::optional<QString>>* values, int pageNumber, double height) {
        if (pass_ == LayoutPass::Counting) {
            return height;
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
            addCell(items, cell, y, height, text);
        }
        return height;
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
    const TextHeight& textHeight_;
    // Each data row's height, measured in the counting pass (empty without textHeight_).
    std::vector<float> rowHeights_;
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
                                           LayoutProgress* progress, const TextHeight& textHeight) {
    return Layout(report, rows, progress, textHeight).run();
}

}  // namespace zond::report
