#include "report/resistance_protocol.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QGraphicsScene>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentWriter>
#include <QTextFrame>
#include <QTextOption>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "analysis/resistance_text.h"
#include "chart/resistance_chart.h"
#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"
#include "report/report_painter.h"
#include "text/number_text.h"
#include "ui/atomic_file_device.h"

namespace zond::report {

namespace {

constexpr char kComma = ',';
constexpr double kMarginMm = 15;
constexpr double kFooterMm = 8;
constexpr double kHeadingRoomMm = 30;  // a heading with less room below it starts a new page
// The model is laid out in the 96-per-inch pixels of a text document; A4 within the margins is
// 180 mm wide. A printer or PDF writer scales it to its own resolution.
constexpr int kChartWidth = 680;
constexpr int kChartHeight = 380;
constexpr int kChartImageScale = 3;  // pixels of the chart's image per layout pixel
const QString kChartName = QStringLiteral("zond-chart.png");
const QString kTitle =
    QStringLiteral("определения сопротивления теплопередаче ограждающей конструкции");
const QString kFont = QStringLiteral("DejaVu Sans");

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
QString fixed(double value, int decimals) {
    return qs(text::fixedNumberText(value, decimals, kComma));
}
QString general(double value) {
    return qs(text::generalNumberText(value, kComma));
}
QString html(const QString& text) {
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
}
QString paragraph(const QString& text, const char* style = "") {
    return QStringLiteral("<p style=\"margin-top:2px; margin-bottom:2px; %1\">%2</p>")
        .arg(QLatin1String(style), html(text));
}
QString heading(const QString& text) {
    return QStringLiteral(
               "<h3 style=\"font-size:11pt; margin-top:10px; margin-bottom:4px;\">%1</h3>")
        .arg(html(text));
}

// A table of label and value rows; a value left empty keeps its row.
class LabelTable {
  public:
    LabelTable& row(const QString& label, const QString& value) {
        rows_ += QStringLiteral("<tr><td width=\"38%\">%1</td><td width=\"62%\">%2</td></tr>")
                     .arg(html(label), html(value));
        return *this;
    }
    QString str() const {
        return QStringLiteral(
                   "<table width=\"100%\" border=\"1\" cellspacing=\"0\" "
                   "cellpadding=\"3\" style=\"border-collapse:collapse;\">%1</table>")
            .arg(rows_);
    }

  private:
    QString rows_;
};

// A table with a header row, repeated on every page it spans, and rows of cells; the first
// column, of labels, takes `labelPercent` of the width.
QString gridTable(const QStringList& header, const std::vector<QStringList>& rows,
                  int labelPercent = 0) {
    QString out = QStringLiteral(
        "<table width=\"100%\" border=\"1\" cellspacing=\"0\" "
        "cellpadding=\"3\" style=\"border-collapse:collapse;\"><thead><tr>");
    for (qsizetype k = 0; k < header.size(); ++k) {
        const QString width = k == 0 && labelPercent > 0
                                  ? QStringLiteral(" width=\"%1%\"").arg(labelPercent)
                                  : QString();
        out += QStringLiteral("<th%1>%2</th>").arg(width, html(header[k]));
    }
    out += QStringLiteral("</tr></thead>");
    for (const auto& row : rows) {
        out += QStringLiteral("<tr>");
        for (const auto& cell : row) {
            out += QStringLiteral("<td>%1</td>").arg(html(cell));
        }
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</table>");
}

QString detail(const ProtocolInput& input, std::string_view key) {
    return input.survey.value(key);
}
QString labelOf(std::string_view key) {
    for (const auto& field : surveyFields()) {
        if (field.key == key) {
            return QString::fromUtf8(field.label);
        }
    }
    return {};
}
void addDetails(LabelTable& table, const ProtocolInput& input,
                std::initializer_list<std::string_view> keys) {
    for (const auto key : keys) {
        table.row(labelOf(key), detail(input, key));
    }
}

QString dateTime(std::int64_t seconds) {
    return qs(analysis::dateTimeText(seconds));
}

QString writeHeading(const ProtocolInput& input) {
    const Organisation& org = input.organisation;
    QString out = LabelTable()
                      .row(QStringLiteral("Организация"), org.name)
                      .row(QStringLiteral("Адрес организации"), org.address)
                      .row(QStringLiteral("Аккредитация"), org.accreditation)
                      .str();
    QString number = detail(input, "protocol_number");
    if (number.isEmpty()) {
        number = QStringLiteral("______");
    }
    out += QStringLiteral(
               "<p align=\"center\" style=\"font-size:14pt; font-weight:bold; "
               "margin-top:14px; margin-bottom:4px;\">%1</p>")
               .arg(html(QStringLiteral("Протокол № %1").arg(number)));
    out += QStringLiteral(
               "<p align=\"center\" style=\"font-size:12pt; font-weight:bold; "
               "margin-top:0px; margin-bottom:4px;\">%1</p>")
               .arg(html(kTitle));
    out += QStringLiteral("<p align=\"right\" style=\"margin-bottom:6px;\">%1</p>")
               .arg(html(QStringLiteral("Дата: ") +
                         input.calculatedAt.toString(QStringLiteral("dd.MM.yyyy"))));
    return out;
}

QString writeObject(const ProtocolInput& input) {
    LabelTable table;
    addDetails(
        table, input,
        {"object", "address", "client", "construction", "orientation", "placement", "weather"});
    return heading(QStringLiteral("1. Объект и условия измерений")) + table.str();
}

QString writeInstrument(const ProtocolInput& input) {
    LabelTable table;
    table.row(QStringLiteral("Прибор"),
              QStringLiteral("измеритель плотности тепловых потоков и температуры ЗОНД-8Т.05"));
    table.row(QStringLiteral("Программа обработки"),
              QStringLiteral("ЗОНД-8Т «Тавис», версия " ZOND_PROGRAM_VERSION));
    table.row(QStringLiteral("Тип датчиков"), input.sensorTypes.join(QStringLiteral(", ")));
    addDetails(table, input, {"serial", "verification"});
    return heading(QStringLiteral("2. Средства измерений")) + table.str();
}

QString writeMethod(const analysis::AnalysisResult& result) {
    QString out = heading(QStringLiteral("3. Метод"));
    out += paragraph(QStringLiteral(
        "ISO 9869-1 / ГОСТ Р 54853, метод средних значений: сопротивление теплопередаче "
        "R₀ = Σ(tв − tн) / Σq по показаниям целых суток периода анализа; термическое "
        "сопротивление конструкции Rк = R₀ − 1/αв − 1/αн; коэффициент теплопередачи U = 1/R₀. "
        "Измерение завершено, когда выполнены критерии: C1 — не менее 3 суток; C2 — R в конце "
        "отличается от R за 24 ч до конца не более чем на 5 %; C3 — R первых и последних "
        "⌊2D/3⌋ суток отличаются не более чем на 5 %; средняя |tв − tн| не менее наименьшей "
        "разности температур."));
    out += paragraph(QStringLiteral(
        "Динамический метод (ISO 9869-1, приложение B) с суммами по всей записи и членами для "
        "начального состояния стены учитывает теплоаккумуляцию стены: R с 95 % доверительным "
        "интервалом и постоянными времени τ; результат принимается, когда интервал и изменение "
        "относительно записи без последних 24 ч не более 5 %."));
    out += paragraph(QStringLiteral(
        "Расширенная неопределённость R₀ (k = 2) объединяет калибровку датчика теплового "
        "потока, погрешность датчиков температуры и разброс R по суткам."));
    out += paragraph(
        QStringLiteral("Коэффициенты теплоотдачи: αв = %1 Вт/(м²·К), αн = %2 Вт/(м²·К). "
                       "Наименьшая разность температур: %3 K.")
            .arg(general(result.alphaIn), general(result.alphaOut), general(result.minDifference)));
    return out;
}

QString writeMeasurement(const analysis::AnalysisResult& result, const ProtocolInput& input) {
    LabelTable table;
    table.row(QStringLiteral("Таблица измерений"), input.tableName);
    table.row(QStringLiteral("Период записи"), input.recordedFrom ? dateTime(*input.recordedFrom) +
                                                                        QStringLiteral(" — ") +
                                                                        dateTime(*input.recordedTo)
                                                                  : QString());
    table.row(QStringLiteral("Период анализа"), qs(analysis::windowText(result)));
    table.row(QStringLiteral("Интервал записи"), qs(analysis::intervalText(result)));
    table.row(QStringLiteral("Полных суток"), QString::number(result.days));
    table.row(QStringLiteral("Строк в расчёте"), QString::number(result.rowsUsed));
    const std::size_t beforeWindow = result.rowsKept - result.rowsUsed;
    QString leftOut = QStringLiteral("%1: нечитаемых — %2, до начала периода анализа — %3")
                          .arg(result.rowsLeftOut + beforeWindow)
                          .arg(result.rowsLeftOut - result.rowsOutOfRange)
                          .arg(beforeWindow);
    if (result.rowsOutOfRange > 0) {
        leftOut += QStringLiteral(", с температурой вне диапазона прибора — %1")
                       .arg(result.rowsOutOfRange);
    }
    table.row(QStringLiteral("Строк не учтено"), leftOut);
    return heading(QStringLiteral("4. Измерения")) + table.str();
}

QString criterionCell(bool pass, const QString& figure) {
    return qs(analysis::passMark(pass)) + QLatin1Char(' ') + figure;
}
QString deviationText(const std::optional<double>& deviation) {
    return deviation ? fixed(*deviation * 100, 2) + QStringLiteral(" %") : QStringLiteral("—");
}
QString dash() {
    return QStringLiteral("—");
}

// The dynamic method in a table cell: R with its interval, or why it has none.
QString dynamicCell(const analysis::ChannelResult& channel) {
    const auto& outcome = channel.dynamic;
    if (!outcome.result) {
        return outcome.reason.empty() ? dash() : QStringLiteral("не определено");
    }
    const auto& d = *outcome.result;
    return QStringLiteral("%1 (%2 … %3), %4")
        .arg(fixed(d.r, 3), fixed(d.low, 3), d.high ? fixed(*d.high, 3) : QStringLiteral("∞"),
             d.accepted ? QStringLiteral("принят") : QStringLiteral("не принят"));
}

QString resistanceCell(const analysis::ChannelResult& channel) {
    QString text = qs(analysis::resistanceText(channel.r0, kComma));
    if (channel.uncertainty) {
        text += QStringLiteral(" ± ") + fixed(channel.uncertainty->expanded, 3);
    }
    return text;
}

// Rows of quantities, a column per channel and one for their mean when there is one.
QString resultsTable(const analysis::AnalysisResult& result) {
    QStringList header{QStringLiteral("Показатель")};
    std::vector<QStringList> rows{
        {QStringLiteral("Средняя tв, °C")},
        {QStringLiteral("Средняя tн, °C")},
        {QStringLiteral("Средняя Δt, K")},
        {QStringLiteral("Средняя q, Вт/м²")},
        {QStringLiteral("R₀ ± неопределённость (k = 2), м²·К/Вт")},
        {QStringLiteral("Rк, м²·К/Вт")},
        {QStringLiteral("U = 1/R₀, Вт/(м²·К)")},
        {QStringLiteral("R динамическим методом (95 % интервал), м²·К/Вт")},
        {QStringLiteral("C1 продолжительность")},
        {QStringLiteral("C2 последние сутки")},
        {QStringLiteral("C3 трети")},
        {QStringLiteral("Δt не менее наименьшей")},
        {QStringLiteral("Теплоаккумуляция")},
        {QStringLiteral("Вывод")},
    };
    for (const auto& channel : result.channels) {
        header << qs(analysis::channelName(channel.channel));
        const bool any = channel.rows > 0;
        const auto mean = [&](double value, int decimals) {
            return any ? fixed(value, decimals) : dash();
        };
        const auto& c = channel.criteria;
        const QStringList cells{
            mean(channel.meanTIn, 1),
            mean(channel.meanTExt, 1),
            mean(channel.meanDifference, 1),
            mean(channel.meanFlux, 2),
            resistanceCell(channel),
            channel.rk ? fixed(*channel.rk, 3) : dash(),
            channel.u ? fixed(*channel.u, 3) : dash(),
            dynamicCell(channel),
            criterionCell(c.duration.pass, QStringLiteral("%1 сут").arg(c.duration.days)),
            criterionCell(c.lastDay.pass, deviationText(c.lastDay.deviation)),
            criterionCell(c.thirds.pass, deviationText(c.thirds.deviation)),
            criterionCell(c.difference.pass,
                          fixed(c.difference.meanDifference, 1) + QStringLiteral(" K")),
            channel.storage.drift ? QStringLiteral("⚠ возможно смещение") : QStringLiteral("нет"),
            c.conforms ? QStringLiteral("соответствует") : QStringLiteral("не соответствует"),
        };
        for (std::size_t k = 0; k < rows.size(); ++k) {
            rows[k] << cells[static_cast<qsizetype>(k)];
        }
    }
    if (result.mean) {
        const auto& m = *result.mean;
        header << QStringLiteral("Среднее по каналам");
        for (std::size_t k = 0; k < rows.size(); ++k) {
            rows[k] << dash();
        }
        rows[4].back() = fixed(m.r0, 3) + QStringLiteral(" ± ") + fixed(m.expanded, 3) +
                         QStringLiteral(" (от ") + fixed(m.min, 3) + QStringLiteral(" до ") +
                         fixed(m.max, 3) + QLatin1Char(')');
        rows[6].back() = fixed(1 / m.r0, 3);
        rows.back().back() =
            result.conforms ? QStringLiteral("соответствует") : QStringLiteral("не соответствует");
    }
    return gridTable(header, rows, 28);
}

QString channelNotes(const analysis::AnalysisResult& result,
                     const analysis::ChannelResult& channel) {
    const auto& c = channel.criteria;
    QString out = paragraph(qs(analysis::channelName(channel.channel)) + QLatin1Char(':'),
                            "font-weight:bold; margin-top:6px;");
    // The explanations again with decimal commas, whatever the analysis was asked for.
    const std::array<std::string, 4> explanations{
        analysis::explainDuration(c.duration),
        analysis::explainLastDay(c.lastDay, result.days, kComma),
        analysis::explainThirds(c.thirds, result.days, kComma),
        analysis::explainDifference(c.difference, kComma),
    };
    const auto lines = analysis::criterionLines(c);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        out += paragraph(criterionCell(lines[k].pass, qs(lines[k].title) + QStringLiteral(": ") +
                                                          qs(explanations[k])),
                         "margin-left:12px;");
    }
    const std::array<std::pair<QString, std::string>, 2> figures{{
        {QStringLiteral("Неопределённость R₀: "), analysis::uncertaintyText(channel, kComma)},
        {QStringLiteral("Динамический метод: "), analysis::dynamicText(channel, kComma)},
    }};
    for (const auto& [label, text] : figures) {
        if (!text.empty()) {
            out += paragraph(label + qs(text), "margin-left:12px;");
        }
    }
    if (const std::string drift = analysis::storageDriftText(channel, kComma); !drift.empty()) {
        out += paragraph(QStringLiteral("⚠ ") + qs(drift), "margin-left:12px; font-weight:bold;");
    }
    if (const auto reversed = analysis::reversedFluxNote(channel); !reversed.empty()) {
        out += paragraph(qs(reversed), "margin-left:12px;");
    }
    return out;
}

QString writeResults(const analysis::AnalysisResult& result) {
    QString out = heading(QStringLiteral("5. Результаты"));
    if (result.channels.empty()) {
        return out + paragraph(QStringLiteral("Нет каналов теплового потока с показаниями"));
    }
    out += resultsTable(result);
    for (const auto& channel : result.channels) {
        out += channelNotes(result, channel);
    }
    if (const std::string mean = analysis::meanText(result, kComma); !mean.empty()) {
        out += paragraph(qs(mean), "margin-top:6px;");
    }
    if (result.longestSearched) {
        out += paragraph(QStringLiteral("Наиболее длинный соответствующий период: ") +
                         qs(analysis::longestPeriodText(result, kComma)));
    }
    for (const auto& warning : result.warnings) {
        out += paragraph(QStringLiteral("Предупреждение: ") +
                         qs(analysis::warningText(warning.kind, result, kComma)));
    }
    return out;
}

QString writeDaily(const analysis::AnalysisResult& result) {
    QString out = heading(QStringLiteral("6. R по суткам и сходимость"));
    if (!result.channels.empty() && result.days > 0) {
        QStringList header{QStringLiteral("Сутки"), QStringLiteral("С"), QStringLiteral("По")};
        for (const auto& channel : result.channels) {
            header
                << QStringLiteral("R %1, м²·К/Вт").arg(qs(analysis::channelName(channel.channel)));
        }
        const auto time = [](const std::optional<std::int64_t>& t) {
            return t ? dateTime(*t) : dash();
        };
        std::vector<QStringList> rows;
        for (std::size_t d = 0; d < static_cast<std::size_t>(result.days); ++d) {
            // Each day from its first reading to its last, as the window shows it.
            const auto& first = result.channels.front().daily[d];
            QStringList row{QString::number(d + 1), time(first.firstReading),
                            time(first.lastReading)};
            for (const auto& channel : result.channels) {
                row << qs(analysis::resistanceText(channel.daily[d].r, kComma));
            }
            rows.push_back(row);
        }
        out += gridTable(header, rows);
    } else {
        out += paragraph(QStringLiteral("Нет целых суток измерений"));
    }
    out += QStringLiteral(
               "<p align=\"center\" style=\"margin-top:8px;\"><img src=\"%1\" "
               "width=\"%2\" height=\"%3\"/></p>")
               .arg(kChartName)
               .arg(kChartWidth)
               .arg(kChartHeight);
    out += paragraph(QStringLiteral("Накопленное значение R с полосой ±5 % около R₀"),
                     "font-size:8pt; text-align:center;");
    return out;
}

// Why the measurement does not conform: the failed criteria per channel.
QString failedCriteria(const analysis::AnalysisResult& result) {
    QStringList failed;
    for (const auto& channel : result.channels) {
        QStringList titles;
        for (const auto& line : analysis::criterionLines(channel.criteria)) {
            if (!line.pass) {
                titles << qs(line.title);
            }
        }
        if (!titles.isEmpty()) {
            failed << qs(analysis::channelName(channel.channel)) + QStringLiteral(" — ") +
                          titles.join(QStringLiteral(", "));
        }
    }
    return failed.join(QStringLiteral("; "));
}

struct Concluded {
    double r0 = 0;
    std::optional<double> expanded;
    QString what;  // which R₀ it is
};

// The R₀ the conclusion names: the mean over the channels, or the one defined channel.
std::optional<Concluded> concludedR0(const analysis::AnalysisResult& result) {
    if (result.mean) {
        return Concluded{result.mean->r0, result.mean->expanded,
                         QStringLiteral(" (среднее по %1 каналам)").arg(result.mean->channels)};
    }
    for (const auto& channel : result.channels) {
        if (channel.r0.defined()) {
            std::optional<double> expanded;
            if (channel.uncertainty) {
                expanded = channel.uncertainty->expanded;
            }
            return Concluded{
                channel.r0.value, expanded,
                result.channels.size() > 1
                    ? QStringLiteral(" (канал %1)").arg(qs(analysis::channelName(channel.channel)))
                    : QString()};
        }
    }
    return std::nullopt;
}

QString writeConclusion(const analysis::AnalysisResult& result, const ProtocolInput& input) {
    QString out = heading(QStringLiteral("7. Заключение"));
    if (!result.conforms) {
        const QString failed = failedCriteria(result);
        out += paragraph(QStringLiteral("Измерение не соответствует критериям") +
                             (failed.isEmpty() ? QString() : QStringLiteral(": ") + failed) +
                             QLatin1Char('.'),
                         "font-weight:bold;");
    }
    for (const auto& channel : result.channels) {
        if (channel.storage.drift) {
            out += paragraph(qs(analysis::channelName(channel.channel)) + QStringLiteral(": ") +
                                 qs(analysis::storageDriftText(channel, kComma)) + QLatin1Char('.'),
                             "font-weight:bold;");
        }
    }
    const auto r0 = concludedR0(result);
    if (!r0) {
        return out + paragraph(QStringLiteral("Сопротивление теплопередаче не определено."));
    }
    QString sentence = QStringLiteral("R₀ = ") + fixed(r0->r0, 3);
    if (r0->expanded) {
        sentence += QStringLiteral(" ± ") + fixed(*r0->expanded, 3);
    }
    sentence += QStringLiteral(" м²·К/Вт") + r0->what;
    if (const auto required = input.survey.requiredR0()) {
        sentence +=
            QStringLiteral(", что %1менее нормируемого R₀тр = %2 м²·К/Вт")
                .arg(r0->r0 >= *required ? QStringLiteral("не ") : QString(), general(*required));
    }
    out += paragraph(sentence + QLatin1Char('.'));
    return out;
}

QString writeNotesAndSignatures(const ProtocolInput& input) {
    QString out = heading(QStringLiteral("Примечания"));
    out += paragraph(detail(input, "notes"));
    out +=
        QStringLiteral("<p style=\"margin-top:24px;\">%1</p>")
            .arg(html(QStringLiteral("Исполнитель ____________ / ") + detail(input, "operator")));
    out += QStringLiteral("<p style=\"margin-top:18px;\">%1</p>")
               .arg(html(QStringLiteral("Проверил ____________ / ") + detail(input, "checker")));
    return out;
}

QImage chartImage(const analysis::AnalysisResult& result) {
    QGraphicsScene scene;
    auto* chart = new chart::ResistanceChart;
    scene.addItem(chart);  // the scene owns it
    chart->resize(QSizeF(kChartWidth, kChartHeight));
    chart->rebuild(result);
    QCoreApplication::processEvents();  // lays out the legend and axes
    QImage image(QSize(kChartWidth, kChartHeight) * kChartImageScale, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(image.rect()), chart->sceneBoundingRect(), Qt::IgnoreAspectRatio);
    return image;
}

// Keeps each section heading with what follows it: a heading near the foot of a page starts the
// next page instead (the layout knows no "keep with next"). One heading at a time, each moved
// one laid out afresh.
void keepHeadingsWithText(QTextDocument& document, double pageHeight, double room) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.headingLevel() == 0 ||
            format.pageBreakPolicy() == QTextFormat::PageBreak_AlwaysBefore) {
            continue;
        }
        const double bottom = document.documentLayout()->blockBoundingRect(block).bottom();
        if (pageHeight - std::fmod(bottom, pageHeight) < room) {
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(block).setBlockFormat(format);
            document.markContentsDirty(0, document.characterCount());
        }
    }
}

}  // namespace

QStringList tableSensorTypes(const dbf::DbfTable& table,
                             const measurement::MeasurementFieldIndexes& fields) {
    // Rows of one transfer share their type: only a field's bytes not seen before are decoded.
    const dbf::DbfFieldDescriptor& field = table.fields().at(static_cast<std::size_t>(fields.type));
    std::set<std::vector<std::uint8_t>> seen;
    QStringList types;
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        const std::uint32_t record = table.recordAt(row);
        const auto bytes = table.recordBytes(record).subspan(static_cast<std::size_t>(field.offset),
                                                             static_cast<std::size_t>(field.width));
        if (!seen.emplace(bytes.begin(), bytes.end()).second) {
            continue;
        }
        const QString type = qs(table.read(record).text(fields.type)).trimmed();
        if (!type.isEmpty() && !types.contains(type)) {
            types << type;
        }
    }
    return types;
}

void setRecordedPeriod(ProtocolInput& input, const analysis::Readings& readings) {
    if (readings.rows.empty()) {
        input.recordedFrom.reset();
        input.recordedTo.reset();
        return;
    }
    const auto [first, last] = std::ranges::minmax_element(
        readings.rows, {}, [](const analysis::Reading& reading) { return reading.time; });
    input.recordedFrom = first->time;
    input.recordedTo = last->time;
}

std::unique_ptr<QTextDocument> buildResistanceProtocol(const analysis::AnalysisResult& result,
                                                       const ProtocolInput& input) {
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(QFont(kFont, 9));
    QTextOption option = document->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);  // no long word is clipped
    document->setDefaultTextOption(option);
    document->setMetaInformation(QTextDocument::DocumentTitle,
                                 QStringLiteral("Протокол ") + kTitle);
    document->addResource(QTextDocument::ImageResource, QUrl(kChartName), chartImage(result));
    document->setHtml(writeHeading(input) + writeObject(input) + writeInstrument(input) +
                      writeMethod(result) + writeMeasurement(result, input) + writeResults(result) +
                      writeDaily(result) + writeConclusion(result, input) +
                      writeNotesAndSignatures(input));
    return document;
}

void paintResistanceProtocol(QPagedPaintDevice& device, const QTextDocument& protocol) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    // A copy laid out in the device's own resolution; the model keeps its own layout.
    const std::unique_ptr<QTextDocument> pages(protocol.clone());
    pages->documentLayout()->setPaintDevice(&device);
    const double mm = device.logicalDpiY() / 25.4;
    const QSizeF body(device.width(), device.height() - kFooterMm * mm);
    pages->setPageSize(body);
    keepHeadingsWithText(*pages, body.height(), kHeadingRoomMm * mm);
    const int count = pages->pageCount();

    QPainter painter;
    if (!painter.begin(&device)) {
        throw ReportOutputError("Не удалось начать печать протокола");
    }
    QFont footerFont(kFont);
    footerFont.setPointSizeF(8);
    for (int page = 0; page < count; ++page) {
        if (page > 0 && !device.newPage()) {
            throw ReportOutputError("Не удалось начать новую страницу протокола");
        }
        painter.save();
        painter.setClipRect(QRectF(QPointF(0, 0), body));
        painter.translate(0, -page * body.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(QPointF(0, page * body.height()), body);
        pages->documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(footerFont);
        painter.drawText(QRectF(0, body.height(), body.width(), kFooterMm * mm),
                         Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Стр. %1 из %2").arg(page + 1).arg(count));
    }
    if (!painter.end()) {
        throw ReportOutputError("Не удалось завершить печать протокола");
    }
}

void writeResistanceProtocolPdf(const std::filesystem::path& target,
                                const QTextDocument& protocol) {
    writePdfFile(QString::fromStdU16String(target.u16string()),
                 protocol.metaInformation(QTextDocument::DocumentTitle), [&](QPdfWriter& writer) {
                     writer.setResolution(300);
                     paintResistanceProtocol(writer, protocol);
                 });
}

void writeResistanceProtocolOdt(const std::filesystem::path& target,
                                const QTextDocument& protocol) {
    ui::AtomicFileDevice file(QString::fromStdU16String(target.u16string()));
    QTextDocumentWriter writer(&file, "odf");
    const bool written = writer.write(&protocol);
    file.commit(written);
}

}  // namespace zond::report
