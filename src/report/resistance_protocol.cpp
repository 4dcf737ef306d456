#include "report/resistance_protocol.h"

#include <QCoreApplication>
#include <QGraphicsScene>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "analysis/resistance_text.h"
#include "chart/resistance_chart.h"
#include "report/report_painter.h"
#include "text/number_text.h"

namespace zond::report {

namespace {

constexpr double kMarginMm = 15;
constexpr double kChartMaxMm = 100;
constexpr double kChartMinMm = 50;
constexpr double kLineGapMm = 0.8;
constexpr double kChartPixelWidth = 680;  // the chart's own layout width, scaled onto the page

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Lines of text from the top of the area down, each wrapped to its width.
class TextColumn {
  public:
    TextColumn(QPainter& painter, const QRectF& area, double mm)
        : painter_(painter), area_(area), mm_(mm), y_(area.top()) {}

    void line(const QString& text, double pointSize = 9.5, bool bold = false, double indentMm = 0) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(pointSize);
        font.setBold(bold);
        painter_.setFont(font);
        const QRectF box(area_.left() + indentMm * mm_, y_, area_.width() - indentMm * mm_,
                         area_.bottom() - y_);
        QRectF used;
        painter_.drawText(box, Qt::TextWordWrap, text, &used);
        y_ += used.height() + kLineGapMm * mm_;
    }
    void space(double heightMm) { y_ += heightMm * mm_; }
    double y() const { return y_; }

  private:
    QPainter& painter_;
    QRectF area_;
    double mm_;
    double y_;
};

void writeHeader(TextColumn& text, const analysis::AnalysisResult& result,
                 const ProtocolHeading& heading) {
    const char separator = heading.decimalSeparator;
    text.line(QStringLiteral("Протокол определения термического сопротивления стены"), 14, true);
    text.line(QStringLiteral("Метод средних значений по показаниям ЗОНД-8Т.05"), 9.5);
    text.space(2);
    const std::string window = analysis::windowText(result);
    text.line(QStringLiteral("Таблица: ") + heading.tableName);
    text.line(QStringLiteral("Период: ") +
              (window.empty() ? QStringLiteral("не определён") : qs(window)));
    text.line(QStringLiteral("Интервал: %1, полных суток: %2")
                  .arg(qs(analysis::intervalText(result)))
                  .arg(result.days));
    text.line(QStringLiteral("Строк в расчёте: %1, пропущено: %2")
                  .arg(result.rowsUsed)
                  .arg(result.rowsLeftOut));
    text.line(QStringLiteral("Коэффициенты теплоотдачи: αв = %1, αн = %2 Вт/(м²·К)")
                  .arg(qs(text::generalNumberText(result.alphaIn, separator)),
                       qs(text::generalNumberText(result.alphaOut, separator))));
}

void writeChannels(TextColumn& text, const analysis::AnalysisResult& result, char separator) {
    if (result.channels.empty()) {
        text.space(2);
        text.line(QStringLiteral("Нет каналов теплового потока с показаниями"), 9.5, true);
    }
    for (const auto& channel : result.channels) {
        text.space(2);
        text.line(qs(analysis::channelName(channel.channel)) + QStringLiteral(": ") +
                      qs(analysis::channelFiguresText(channel, separator)),
                  10, true);
        for (const auto& line : analysis::criterionLines(channel.criteria)) {
            text.line(qs(analysis::passMark(line.pass)) + QLatin1Char(' ') + qs(line.title) +
                          QStringLiteral(": ") + qs(line.explanation),
                      8.5, false, 4);
        }
        text.line(qs(analysis::verdictText(channel.criteria.conforms)), 9.5, true, 4);
    }
}

void writeNotes(TextColumn& text, const analysis::AnalysisResult& result, char separator) {
    text.space(2);
    if (result.longestSearched) {
        text.line(QStringLiteral("Наиболее длинный соответствующий период: ") +
                      qs(analysis::longestPeriodText(result, separator)),
                  8.5);
    }
    text.line(qs(analysis::storageHeatNote()), 8);
    for (const auto& warning : result.warnings) {
        text.line(QStringLiteral("Предупреждение: ") + qs(warning.text), 8);
    }
}

void drawChart(QPainter& painter, const analysis::AnalysisResult& result, const QRectF& target) {
    QGraphicsScene scene;
    auto* chart = new chart::ResistanceChart;
    scene.addItem(chart);  // the scene owns it
    chart->resize(QSizeF(kChartPixelWidth, kChartPixelWidth * target.height() / target.width()));
    chart->rebuild(result);
    QCoreApplication::processEvents();  // lays out the legend and axes
    scene.render(&painter, target, chart->sceneBoundingRect(), Qt::IgnoreAspectRatio);
}

void paintPage(QPainter& painter, const QRectF& area, double mm,
               const analysis::AnalysisResult& result, const ProtocolHeading& heading) {
    TextColumn text(painter, area, mm);
    writeHeader(text, result, heading);
    writeChannels(text, result, heading.decimalSeparator);
    writeNotes(text, result, heading.decimalSeparator);

    const double footer = 8 * mm;
    const double top = text.y() + 2 * mm;
    const double height = std::min(kChartMaxMm * mm, area.bottom() - footer - top);
    if (height >= kChartMinMm * mm) {
        drawChart(painter, result, QRectF(area.left(), top, area.width(), height));
    }
    TextColumn date(painter, QRectF(area.left(), area.bottom() - footer, area.width(), footer), mm);
    date.line(QStringLiteral("Дата расчёта: ") +
                  heading.calculatedAt.toString(QStringLiteral("dd.MM.yyyy hh:mm")),
              9);
}

}  // namespace

void paintResistanceProtocol(QPagedPaintDevice& device, const analysis::AnalysisResult& result,
                             const ProtocolHeading& heading) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&device)) {
        throw ReportOutputError("Не удалось начать печать протокола");
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const double mm = device.logicalDpiX() / 25.4;
    paintPage(painter, QRectF(0, 0, device.width(), device.height()), mm, result, heading);
    if (!painter.end()) {
        throw ReportOutputError("Не удалось завершить печать протокола");
    }
}

void writeResistanceProtocolPdf(const std::filesystem::path& target,
                                const analysis::AnalysisResult& result,
                                const ProtocolHeading& heading) {
    writePdfFile(QString::fromStdU16String(target.u16string()),
                 QStringLiteral("Протокол определения термического сопротивления стены"),
                 [&](QPdfWriter& writer) {
                     writer.setResolution(300);
                     paintResistanceProtocol(writer, result, heading);
                 });
}

}  // namespace zond::report
