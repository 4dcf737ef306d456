#include "app/resistance_window.h"

#include <QChartView>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <vector>

#include "analysis/reading_loader.h"
#include "analysis/resistance_text.h"
#include "app/survey_details_dialog.h"
#include "chart/resistance_chart.h"
#include "link/settings_store.h"
#include "report/resistance_protocol.h"
#include "report/windows/report_printing.h"
#include "text/number_text.h"
#include "ui/user_dialogs.h"
#include "ui/window_placement.h"

namespace zond::app {

namespace {

const QString kAlphaInValue = QStringLiteral("Resistance/AlphaIn");
const QString kAlphaOutValue = QStringLiteral("Resistance/AlphaOut");
const QString kMinDifferenceValue = QStringLiteral("Resistance/MinDifference");
const QString kFluxUncertaintyValue = QStringLiteral("Resistance/FluxUncertainty");
const QString kTemperatureUncertaintyValue = QStringLiteral("Resistance/TemperatureUncertainty");
// The chart needs no more points than it has pixels; a narrow window still gets a smooth curve.
constexpr int kMinChartPoints = 400;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}
QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct BoxRange {
    double lowest;
    double highest;
    double step;
    int decimals;
    const char* suffix;
};

QDoubleSpinBox* numberBox(const char* name, double value, char decimalSeparator,
                          const BoxRange& range) {
    auto* box = new QDoubleSpinBox;
    box->setObjectName(QString::fromLatin1(name));
    box->setLocale(QLocale(decimalSeparator == ',' ? QLocale::Russian : QLocale::C));
    box->setDecimals(range.decimals);
    box->setRange(range.lowest, range.highest);
    box->setSingleStep(range.step);
    box->setValue(value);
    box->setSuffix(QString::fromUtf8(range.suffix));
    return box;
}

constexpr BoxRange kCoefficientRange{0.1, 1000, 0.1, 2, " Вт/(м²·К)"};

QDoubleSpinBox* coefficientBox(const char* name, double value, char decimalSeparator) {
    return numberBox(name, value, decimalSeparator, kCoefficientRange);
}

// A label that names the box for the keyboard and for screen readers.
QLabel* labelFor(const QString& text, QWidget* box) {
    auto* label = new QLabel(text);
    label->setBuddy(box);
    box->setAccessibleName(QString(text).remove(QLatin1Char(':')));
    return label;
}

QString paragraph(const QString& text, const char* style = "") {
    return QStringLiteral("<p style=\"margin:2px 0; %1\">%2</p>")
        .arg(QLatin1String(style), text.toHtmlEscaped());
}

QString cell(const QString& text, bool heading = false) {
    const QString tag = heading ? QStringLiteral("th") : QStringLiteral("td");
    return QStringLiteral("<%1 style=\"padding:1px 8px;\">%2</%1>").arg(tag, text.toHtmlEscaped());
}

// The two methods side by side: R, its uncertainty or interval, and the verdict.
QString methodsTable(const analysis::ChannelResult& channel, char separator) {
    const auto fixed = [&](double value) { return qs(text::fixedNumberText(value, 3, separator)); };
    QString averageR = qs(analysis::resistanceText(channel.r0, separator));
    QString averageSpread = QStringLiteral("—");
    if (channel.uncertainty) {
        averageSpread =
            QStringLiteral("U = ±%1 (%2 %, k = 2)")
                .arg(fixed(channel.uncertainty->expanded),
                     qs(text::fixedNumberText(channel.uncertainty->relative * 100, 1, separator)));
    }
    QString dynamicR = QStringLiteral("—");
    QString dynamicSpread = QStringLiteral("—");
    QString dynamicVerdict = qs(channel.dynamic.reason);
    if (const auto& d = channel.dynamic.result) {
        dynamicR = fixed(d->r);
        dynamicSpread =
            QStringLiteral("95 %: %1 … %2")
                .arg(fixed(d->low), d->high ? fixed(*d->high) : QStringLiteral("не ограничен"));
        dynamicVerdict = d->accepted ? QStringLiteral("принят") : QStringLiteral("не принят");
    }
    QString html = QStringLiteral("<table style=\"margin:4px 0;\" border=\"1\" cellspacing=\"0\">");
    html += QStringLiteral("<tr>") + cell({}, true) + cell(QStringLiteral("Метод средних"), true) +
            cell(QStringLiteral("Динамический метод"), true) + QStringLiteral("</tr>");
    html += QStringLiteral("<tr>") + cell(QStringLiteral("R, м²·К/Вт")) + cell(averageR) +
            cell(dynamicR) + QStringLiteral("</tr>");
    html += QStringLiteral("<tr>") + cell(QStringLiteral("Неопределённость")) +
            cell(averageSpread) + cell(dynamicSpread) + QStringLiteral("</tr>");
    html += QStringLiteral("<tr>") + cell(QStringLiteral("Итог")) +
            cell(qs(analysis::verdictText(channel.criteria.conforms))) + cell(dynamicVerdict) +
            QStringLiteral("</tr></table>");
    return html;
}

QString channelHtml(const analysis::ChannelResult& channel, char separator) {
    QString html = QStringLiteral("<h3>%1</h3>").arg(qs(analysis::channelName(channel.channel)));
    html += paragraph(qs(analysis::channelFiguresText(channel, separator)), "font-weight:bold;");
    html +=
        paragraph(QStringLiteral("Средние: ") + qs(analysis::channelMeansText(channel, separator)));
    html += methodsTable(channel, separator);
    for (const auto& line : analysis::criterionLines(channel.criteria)) {
        html += paragraph(qs(analysis::passMark(line.pass)) + QLatin1Char(' ') + qs(line.title) +
                              QStringLiteral(": ") + qs(line.explanation),
                          line.pass ? "color:#1a7f1a;" : "color:#b00020;");
    }
    html += paragraph(qs(analysis::verdictText(channel.criteria.conforms)), "font-weight:bold;");
    const std::string drift = analysis::storageDriftText(channel, separator);
    if (!drift.empty()) {
        html += paragraph(QStringLiteral("⚠ ") + qs(drift), "color:#a05a00; font-weight:bold;");
    }
    const std::string_view reversed = analysis::reversedFluxNote(channel);
    if (!reversed.empty()) {
        html += paragraph(qs(reversed), "color:#555;");
    }
    const std::string uncertainty = analysis::uncertaintyText(channel, separator);
    if (!uncertainty.empty()) {
        html += paragraph(qs(uncertainty));
    }
    const std::string dynamic = analysis::dynamicText(channel, separator);
    if (!dynamic.empty()) {
        html += paragraph(QStringLiteral("Динамический метод: ") + qs(dynamic));
    }
    return html;
}

}  // namespace

ResistanceWindow::ResistanceWindow(ui::UserDialogs& dialogs, char decimalSeparator, QWidget* parent)
    : QWidget(parent, Qt::Window),
      dialogs_(dialogs),
      decimalSeparator_(decimalSeparator),
      settings_(link::openProgramSettings()),
      printers_(std::make_unique<report::SystemPrinters>()) {
    setObjectName(QStringLiteral("ResistanceWindow"));
    setWindowTitle(QStringLiteral("Термическое сопротивление"));
    resize(1100, 720);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildControls());
    layout->addWidget(buildConditions());
    layout->addWidget(buildResults(), 1);
}

ResistanceWindow::~ResistanceWindow() = default;

void ResistanceWindow::setPrinters(std::unique_ptr<report::PrinterAccess> printers) {
    printers_ = std::move(printers);
}

void ResistanceWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous() && parentWidget() != nullptr) {
        ui::centreOver(*this, *parentWidget()->window());
    }
    QWidget::showEvent(event);
}

QWidget* ResistanceWindow::buildControls() {
    auto* controls = new QWidget;
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    alphaIn_ = coefficientBox("alphaIn", settings_->value(kAlphaInValue, 8.7).toDouble(),
                              decimalSeparator_);
    alphaOut_ = coefficientBox("alphaOut", settings_->value(kAlphaOutValue, 23.0).toDouble(),
                               decimalSeparator_);
    longest_ = new QCheckBox(QStringLiteral("Найти наиболее длинный соответствующий период"));
    longest_->setObjectName(QStringLiteral("longest"));
    auto* print = new QPushButton(QStringLiteral("Печать"));
    print->setObjectName(QStringLiteral("print"));
    auto* pdf = new QPushButton(QStringLiteral("Сохранить PDF…"));
    pdf->setObjectName(QStringLiteral("savePdf"));
    auto* odt = new QPushButton(QStringLiteral("Сохранить .odt…"));
    odt->setObjectName(QStringLiteral("saveOdt"));
    auto* details = new QPushButton(QStringLiteral("Сведения об обследовании…"));
    details->setObjectName(QStringLiteral("surveyDetails"));
    row->addWidget(new QLabel(QStringLiteral("αв:")));
    row->addWidget(alphaIn_);
    row->addWidget(new QLabel(QStringLiteral("αн:")));
    row->addWidget(alphaOut_);
    row->addWidget(longest_);
    row->addStretch(1);
    row->addWidget(details);
    row->addWidget(print);
    row->addWidget(pdf);
    row->addWidget(odt);

    connect(alphaIn_, &QDoubleSpinBox::valueChanged, this, &ResistanceWindow::onOptionsChanged);
    connect(alphaOut_, &QDoubleSpinBox::valueChanged, this, &ResistanceWindow::onOptionsChanged);
    connect(longest_, &QCheckBox::toggled, this, &ResistanceWindow::recompute);
    connect(print, &QPushButton::clicked, this, &ResistanceWindow::print);
    connect(pdf, &QPushButton::clicked, this, &ResistanceWindow::savePdf);
    connect(odt, &QPushButton::clicked, this, &ResistanceWindow::saveOdt);
    connect(details, &QPushButton::clicked, this, &ResistanceWindow::editSurveyDetails);
    return controls;
}

QWidget* ResistanceWindow::buildConditions() {
    auto* conditions = new QWidget;
    auto* row = new QHBoxLayout(conditions);
    row->setContentsMargins(0, 0, 0, 0);
    minDifference_ =
        numberBox("minDifference", settings_->value(kMinDifferenceValue, 10.0).toDouble(),
                  decimalSeparator_, {0, 100, 1, 1, " K"});
    fluxUncertainty_ =
        numberBox("fluxUncertainty", settings_->value(kFluxUncertaintyValue, 5.0).toDouble(),
                  decimalSeparator_, {0, 50, 0.5, 1, " %"});
    temperatureUncertainty_ = numberBox(
        "temperatureUncertainty", settings_->value(kTemperatureUncertaintyValue, 0.5).toDouble(),
        decimalSeparator_, {0, 10, 0.1, 2, " K"});
    row->addWidget(labelFor(QStringLiteral("Минимальная разность температур:"), minDifference_));
    row->addWidget(minDifference_);
    row->addWidget(
        labelFor(QStringLiteral("Погрешность калибровки датчика потока:"), fluxUncertainty_));
    row->addWidget(fluxUncertainty_);
    row->addWidget(
        labelFor(QStringLiteral("Погрешность датчиков температуры:"), temperatureUncertainty_));
    row->addWidget(temperatureUncertainty_);
    row->addStretch(1);
    for (auto* box : {minDifference_, fluxUncertainty_, temperatureUncertainty_}) {
        connect(box, &QDoubleSpinBox::valueChanged, this, &ResistanceWindow::onOptionsChanged);
    }
    return conditions;
}

QWidget* ResistanceWindow::buildResults() {
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    heading_ = new QLabel;
    heading_->setObjectName(QStringLiteral("heading"));
    heading_->setWordWrap(true);
    heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    results_ = new QTextBrowser;
    results_->setObjectName(QStringLiteral("results"));
    leftLayout->addWidget(heading_);
    leftLayout->addWidget(results_, 1);

    chart_ = new chart::ResistanceChart;
    auto* view = new QChartView(chart_);  // the view owns the chart
    view->setObjectName(QStringLiteral("chart"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(260);
    chartView_ = view;
    daily_ = new QTableWidget;
    daily_->setObjectName(QStringLiteral("daily"));
    daily_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    daily_->verticalHeader()->setVisible(false);
    auto* right = new QSplitter(Qt::Vertical);
    right->addWidget(view);
    right->addWidget(daily_);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 1);

    auto* split = new QSplitter(Qt::Horizontal);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    return split;
}

void ResistanceWindow::analyse(const dbf::DbfTable& table,
                               const measurement::MeasurementFieldIndexes& fields,
                               std::span<const measurement::RowSnapshot> selection) {
    if (selection.size() >= 2) {
        std::vector<std::uint32_t> records;
        records.reserve(selection.size());
        for (const auto& row : selection) {
            records.push_back(row.record);
        }
        readings_ = analysis::loadReadings(table, fields, records);
    } else {
        readings_ = analysis::loadAllReadings(table, fields);
    }
    const QFileInfo file(QString::fromStdU16String(table.path().u16string()));
    tableName_ = file.completeBaseName();
    tableFolder_ = file.absolutePath();
    tablePath_ = table.path();
    sensorTypes_ = report::tableSensorTypes(table, fields);
    recompute();
}

void ResistanceWindow::onOptionsChanged() {
    settings_->setValue(kAlphaInValue, alphaIn_->value());
    settings_->setValue(kAlphaOutValue, alphaOut_->value());
    settings_->setValue(kMinDifferenceValue, minDifference_->value());
    settings_->setValue(kFluxUncertaintyValue, fluxUncertainty_->value());
    settings_->setValue(kTemperatureUncertaintyValue, temperatureUncertainty_->value());
    recompute();
}

void ResistanceWindow::recompute() {
    analysis::AnalysisOptions options;
    options.alphaIn = alphaIn_->value();
    options.alphaOut = alphaOut_->value();
    options.findLongest = longest_->isChecked();
    options.minDifference = minDifference_->value();
    options.fluxUncertainty = fluxUncertainty_->value() / 100.0;
    options.temperatureUncertainty = temperatureUncertainty_->value();
    options.cumulativePoints =
        static_cast<std::size_t>(std::max(chartView_->width(), kMinChartPoints));
    options.decimalSeparator = decimalSeparator_;
    result_ = analysis::analyseResistance(readings_, options);
    calculatedAt_ = QDateTime::currentDateTime();
    showSummary();
    showDaily();
    chart_->rebuild(result_);
}

void ResistanceWindow::showSummary() {
    const std::string window = analysis::windowText(result_);
    heading_->setText(
        QStringLiteral("%1 · строк в расчёте: %2, пропущено: %3 · интервал: %4 · полных суток: "
                       "%5 · период: %6")
            .arg(tableName_)
            .arg(result_.rowsUsed)
            .arg(result_.rowsLeftOut)
            .arg(qs(analysis::intervalText(result_)))
            .arg(result_.days)
            .arg(window.empty() ? QStringLiteral("не определён") : qs(window)));

    QString html;
    if (result_.channels.empty()) {
        html += paragraph(QStringLiteral("Нет каналов теплового потока с показаниями"));
    }
    for (const auto& channel : result_.channels) {
        html += channelHtml(channel, decimalSeparator_);
    }
    const std::string mean = analysis::meanText(result_, decimalSeparator_);
    if (!mean.empty()) {
        html += paragraph(qs(mean), "font-weight:bold; margin-top:8px;");
    }
    if (result_.longestSearched) {
        html += paragraph(QStringLiteral("Наиболее длинный соответствующий период: ") +
                          qs(analysis::longestPeriodText(result_, decimalSeparator_)));
    }
    html += paragraph(qs(analysis::storageHeatNote()), "color:#555;");
    for (const auto& warning : result_.warnings) {
        html += paragraph(QStringLiteral("⚠ ") + qs(warning.text), "color:#a05a00;");
    }
    results_->setHtml(html);
}

void ResistanceWindow::showDaily() {
    // Each day from its first reading to its last, so the table starts at the window's first.
    QStringList titles{QStringLiteral("Сутки"), QStringLiteral("С"), QStringLiteral("По")};
    for (const auto& channel : result_.channels) {
        titles << QStringLiteral("R %1").arg(qs(analysis::channelName(channel.channel)));
    }
    daily_->clear();
    daily_->setColumnCount(static_cast<int>(titles.size()));
    daily_->setHorizontalHeaderLabels(titles);
    daily_->setRowCount(result_.channels.empty() ? 0 : result_.days);
    for (int day = 0; day < daily_->rowCount(); ++day) {
        const auto d = static_cast<std::size_t>(day);
        const auto& first = result_.channels.front().daily[d];
        daily_->setItem(day, 0, new QTableWidgetItem(QString::number(day + 1)));
        const auto time = [](const std::optional<std::int64_t>& t) {
            return new QTableWidgetItem(t ? qs(analysis::dateTimeText(*t)) : QStringLiteral("—"));
        };
        daily_->setItem(day, 1, time(first.firstReading));
        daily_->setItem(day, 2, time(first.lastReading));
        for (std::size_t k = 0; k < result_.channels.size(); ++k) {
            const auto& r = result_.channels[k].daily[d].r;
            daily_->setItem(
                day, static_cast<int>(k) + 3,
                new QTableWidgetItem(qs(analysis::resistanceText(r, decimalSeparator_))));
        }
    }
    daily_->resizeColumnsToContents();
}

std::unique_ptr<QTextDocument> ResistanceWindow::protocol() {
    report::ProtocolInput input;
    input.tableName = tableName_;
    input.calculatedAt = calculatedAt_;
    report::SurveyLoad survey = report::loadSurveyDetails(tablePath_);
    if (!survey.problem.isEmpty()) {
        dialogs_.message(this, survey.problem, QStringLiteral("Сведения об обследовании"),
                         ui::MessageIcon::Warning, QMessageBox::Ok);
    }
    input.survey = std::move(survey.details);
    input.organisation = report::loadOrganisation(*settings_);
    input.sensorTypes = sensorTypes_;
    report::setRecordedPeriod(input, readings_);
    return report::buildResistanceProtocol(result_, input);
}

void ResistanceWindow::print() {
    if (printers_->printerNames().isEmpty()) {
        if (dialogs_.message(this,
                             QStringLiteral("Принтер не найден.\nСохранить протокол в файл PDF?"),
                             windowTitle(), ui::MessageIcon::Question,
                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes) {
            savePdf();
        }
        return;
    }
    auto job = printers_->choose(this, std::nullopt);
    if (!job) {
        return;
    }
    try {
        report::paintResistanceProtocol(*job->printer, *protocol());
    } catch (const std::exception& error) {
        dialogs_.error(this, QString::fromUtf8(error.what()));
    }
}

void ResistanceWindow::saveProtocol(const QString& title, const QString& filter,
                                    const QString& suffix,
                                    void (*write)(const std::filesystem::path&,
                                                  const QTextDocument&)) {
    ui::FileDialogRequest request;
    request.title = title;
    request.directory = tableFolder_;
    request.fileName = tableName_ + QLatin1Char('.') + suffix;
    request.filter = filter;
    request.defaultSuffix = suffix;
    const QString path = dialogs_.saveFileName(this, request);
    if (path.isEmpty()) {
        return;
    }
    try {
        write(std::filesystem::path(path.toStdU16String()), *protocol());
    } catch (const std::exception& error) {
        dialogs_.error(this, QString::fromUtf8(error.what()));
    }
}

void ResistanceWindow::savePdf() {
    saveProtocol(QStringLiteral("Сохранить PDF"), QStringLiteral("Документ PDF (*.pdf)"),
                 QStringLiteral("pdf"), report::writeResistanceProtocolPdf);
}

void ResistanceWindow::saveOdt() {
    saveProtocol(QStringLiteral("Сохранить .odt"), QStringLiteral("Текст OpenDocument (*.odt)"),
                 QStringLiteral("odt"), report::writeResistanceProtocolOdt);
}

void ResistanceWindow::editSurveyDetails() {
    if (tablePath_.empty()) {
        return;
    }
    if (survey_ == nullptr) {
        survey_ = new SurveyDetailsDialog(dialogs_, this);
    }
    survey_->load(tablePath_, sensorTypes_);
    survey_->open();
}

}  // namespace zond::app
