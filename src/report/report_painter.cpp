#include "report/report_painter.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>

#include "ui/atomic_file_device.h"

namespace zond::report {

PagePainter::PagePainter(const ReportDocument& document) : document_(document) {
    fonts_.reserve(document.styles.size());
    for (const TextStyle& style : document.styles) {
        QFont font(style.family);
        font.setPointSizeF(style.pointSize);
        font.setBold(style.bold);
        // Unhinted outlines keep line breaks the same at every zoom and on paper.
        font.setHintingPreference(QFont::PreferNoHinting);
        fonts_.push_back(font);
    }
}

void PagePainter::paint(QPainter& painter, int page, double dotsPerInch) const {
    const double scale = dotsPerInch / kUnitsPerInch;
    QPen framePen(Qt::black, document_.lineWidth * scale, Qt::SolidLine, Qt::SquareCap,
                  Qt::MiterJoin);
    painter.setPen(framePen);
    painter.setBrush(Qt::NoBrush);
    int currentFont = -1;
    for (const PageItem& item : document_.pages.at(static_cast<std::size_t>(page)).items) {
        const QRectF box(item.x * scale, item.y * scale, item.width * scale, item.height * scale);
        switch (item.kind) {
            case PageItem::Kind::Text: {
                if (item.style != currentFont) {
                    currentFont = item.style;
                    painter.setFont(fonts_.at(item.style));
                }
                const TextStyle& style = document_.styles[item.style];
                painter.drawText(box, style.alignment | (style.wordWrap ? Qt::TextWordWrap : 0),
                                 item.text);
                break;
            }
            case PageItem::Kind::Line:
                painter.drawLine(
                    QLineF(box.topLeft(), box.topLeft() + QPointF(box.width(), box.height())));
                break;
            case PageItem::Kind::Rect:
                painter.drawRect(box);
                break;
        }
    }
}

QPageLayout pageLayoutOf(const ReportDocument& document) {
    const bool landscape = document.pageWidth > document.pageHeight;
    const double shortSide = mmFromUnits(std::min(document.pageWidth, document.pageHeight));
    const double longSide = mmFromUnits(std::max(document.pageWidth, document.pageHeight));
    QPageLayout layout(QPageSize(QSizeF(shortSide, longSide), QPageSize::Millimeter, QString(),
                                 QPageSize::FuzzyMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF());
    // The report keeps its own margins inside the page; the printer's minimum ones do not apply.
    layout.setMode(QPageLayout::FullPageMode);
    return layout;
}

void paintPages(QPagedPaintDevice& device, const ReportDocument& document,
                const std::vector<int>& pages) {
    const QPageLayout layout = pageLayoutOf(document);
    if (!device.setPageLayout(layout)) {
        // A printer that refuses the whole layout still takes the paper and its orientation.
        device.setPageSize(layout.pageSize());
        device.setPageOrientation(layout.orientation());
    }
    QPainter painter;
    if (!painter.begin(&device)) {
        throw ReportOutputError("Не удалось начать печать отчета");
    }
    const PagePainter pagePainter(document);
    bool first = true;
    for (const int page : pages) {
        if (!first && !device.newPage()) {
            throw ReportOutputError("Не удалось начать новую страницу отчета");
        }
        first = false;
        painter.save();
        pagePainter.paint(painter, page, device.logicalDpiX());
        painter.restore();
    }
    if (!painter.end()) {
        throw ReportOutputError("Не удалось завершить печать отчета");
    }
}

void writePdf(const ReportDocument& document, const QString& path) {
    std::vector<int> pages(document.pages.size());
    for (std::size_t page = 0; page < pages.size(); ++page) {
        pages[page] = static_cast<int>(page);
    }
    try {
        ui::AtomicFileDevice file(path);
        bool painted = true;
        {
            QPdfWriter writer(&file);
            writer.setCreator(QStringLiteral("ZOND-8T.05"));
            writer.setTitle(QStringLiteral("ЗОНД-8Т.05 \"ТАВИС\""));
            try {
                paintPages(writer, document, pages);
            } catch (const ReportOutputError&) {
                painted = false;
            }
        }
        file.commit(painted);
    } catch (const fileio::FileWriteError& error) {
        throw ReportOutputError(error.what());
    }
}

}  // namespace zond::report
