#include "report/report_painter.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QTextLayout>
#include <QTextOption>
#include <memory>

#include "ui/atomic_file_device.h"

namespace zond::report {

namespace {

QTextOption textOption(const TextStyle& style) {
    QTextOption option(Qt::Alignment(style.alignment));
    option.setWrapMode(style.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                      : QTextOption::NoWrap);
    return option;
}

}  // namespace

QFont fontOf(const TextStyle& style) {
    QFont font(style.family);
    font.setPointSizeF(style.pointSize);
    font.setBold(style.bold);
    // Unhinted outlines keep line breaks the same at every zoom and on paper.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

TextHeight paintedTextHeight() {
    // A device with one dot per layout unit, so the metrics come in layout units.
    auto device = std::make_shared<QImage>(1, 1, QImage::Format_Mono);
    const int dotsPerMeter = static_cast<int>(kUnitsPerInch / 0.0254 + 0.5);
    device->setDotsPerMeterX(dotsPerMeter);
    device->setDotsPerMeterY(dotsPerMeter);
    return [device](const TextStyle& style, double width, const QString& text) {
        const QFont font = fontOf(style);
        const QFontMetricsF metrics(font, device.get());
        if (!style.wordWrap || metrics.horizontalAdvance(text) <= width) {
            return metrics.height();
        }
        QTextLayout layout(text, font, device.get());
        layout.setTextOption(textOption(style));
        layout.beginLayout();
        double height = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            height += line.height();
        }
        layout.endLayout();
        return height;
    };
}

PagePainter::PagePainter(const ReportDocument& document) : document_(document) {
    fonts_.reserve(document.styles.size());
    for (const TextStyle& style : document.styles) {
        fonts_.push_back(fontOf(style));
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
                painter.drawText(box, item.text, textOption(document_.styles[item.style]));
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

void writePdfFile(const QString& path, const QString& title,
                  const std::function<void(QPdfWriter&)>& paint) {
    ui::AtomicFileDevice file(path);
    bool painted = true;
    {
        QPdfWriter writer(&file);
        writer.setCreator(QStringLiteral("ZOND-8T.05"));
        writer.setTitle(title);
        try {
            paint(writer);
        } catch (const ReportOutputError&) {
            painted = false;
        }
    }
    file.commit(painted);
}

void writePdf(const ReportDocument& document, const QString& path) {
    std::vector<int> pages(document.pages.size());
    for (std::size_t page = 0; page < pages.size(); ++page) {
        pages[page] = static_cast<int>(page);
    }
    try {
        writePdfFile(path, QStringLiteral("ЗОНД-8Т.05 \"ТАВИС\""),
                     [&](QPdfWriter& writer) { paintPages(writer, document, pages); });
    } catch (const fileio::FileWriteError& error) {
        throw ReportOutputError(error.what());
    }
}

}  // namespace zond::report
