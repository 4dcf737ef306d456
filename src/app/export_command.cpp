#include "app/export_command.h"

#include <QFileInfo>
#include <QProgressDialog>
#include <QSettings>
#include <exception>

#include "app/csv_options_dialog.h"
#include "dbf/dbf_table.h"
#include "link/settings_store.h"
#include "ui/user_dialogs.h"
#include "xls/cell_value.h"

namespace zond::app {

using exporting::CsvEncoding;
using exporting::CsvOptions;
using exporting::ExportFormat;
using exporting::ExportOptions;

namespace {

const QString kCaption = QStringLiteral("Экспорт");
const QString kDelimiterValue = QStringLiteral("Export/CsvDelimiter");
const QString kDecimalSeparatorValue = QStringLiteral("Export/CsvDecimalSeparator");
const QString kEncodingValue = QStringLiteral("Export/CsvEncoding");
const QString kCp1251 = QStringLiteral("cp1251");

char firstCharacter(const QString& text) {
    return text.isEmpty() ? '\0' : text.front().toLatin1();
}

// The options of the last CSV export; the defaults when none are stored or they do not fit.
CsvOptions rememberedCsvOptions() {
    const auto settings = link::openProgramSettings();
    CsvOptions options;
    options.delimiter = firstCharacter(settings->value(kDelimiterValue, ";").toString());
    options.decimalSeparator =
        firstCharacter(settings->value(kDecimalSeparatorValue, ",").toString());
    options.encoding = settings->value(kEncodingValue).toString() == kCp1251
                           ? CsvEncoding::Cp1251
                           : CsvEncoding::Utf8WithBom;
    try {
        exporting::validate(options);
    } catch (const exporting::ExportError&) {
        return {};
    }
    return options;
}

void rememberCsvOptions(const CsvOptions& options) {
    const auto settings = link::openProgramSettings();
    settings->setValue(kDelimiterValue, QString(QLatin1Char(options.delimiter)));
    settings->setValue(kDecimalSeparatorValue, QString(QLatin1Char(options.decimalSeparator)));
    settings->setValue(kEncodingValue,
                       options.encoding == CsvEncoding::Cp1251 ? kCp1251 : QStringLiteral("utf-8"));
    settings->sync();
}

// The progress window of one export; it shows only when the export takes longer than `delay`.
class ExportProgress {
  public:
    ExportProgress(QWidget* parent, const QString& fileName, std::chrono::milliseconds delay)
        : dialog_(QStringLiteral("Экспорт в файл %1…").arg(fileName), QStringLiteral("Отмена"), 0,
                  kSteps, parent) {
        dialog_.setWindowTitle(kCaption);
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setMinimumDuration(static_cast<int>(delay.count()));
    }

    // Per mille, so a million rows move the bar (and let the window repaint) only a thousand
    // times.
    bool update(std::size_t done, std::size_t total) {
        if (total > 0) {
            dialog_.setValue(static_cast<int>(done * kSteps / total));
        }
        return !dialog_.wasCanceled();
    }

  private:
    static constexpr int kSteps = 1000;
    QProgressDialog dialog_;
};

}  // namespace

ExportCommand::ExportCommand(ui::UserDialogs& dialogs)
    : dialogs_(dialogs), askCsvOptions_(&CsvOptionsDialog::ask) {}

void ExportCommand::run(QWidget* parent, dbf::DbfTable& table, const QString& folder) {
    if (!table.isOpen()) {
        return;
    }
    ui::FileDialogRequest request;
    request.title = kCaption;
    request.directory = folder;
    request.fileName = QFileInfo(QString::fromStdU16String(table.path().u16string())).baseName();
    request.filter = kExportFilter;
    const QString path = dialogs_.saveFileName(parent, request);
    if (path.isEmpty()) {
        return;
    }
    const std::filesystem::path file(path.toStdU16String());
    if (const std::optional<ExportOptions> options = chooseOptions(parent, file)) {
        if (beforeWriting_) {
            beforeWriting_();
        }
        write(parent, table, file, *options);
    }
}

std::optional<ExportOptions> ExportCommand::chooseOptions(QWidget* parent,
                                                          const std::filesystem::path& file) {
    const std::optional<ExportFormat> format = exporting::formatOfPath(file);
    if (!format) {
        dialogs_.error(parent, QStringLiteral("Выберите тип файла: Excel 97-2003 (.xls), "
                                              "Excel 2007+ (.xlsx) или CSV (.csv)."));
        return std::nullopt;
    }
    ExportOptions options;
    options.format = *format;
    if (*format == ExportFormat::Csv) {
        const std::optional<CsvOptions> csv = askCsvOptions_(parent, rememberedCsvOptions());
        if (!csv) {
            return std::nullopt;
        }
        rememberCsvOptions(*csv);
        options.csv = *csv;
    }
    return options;
}

void ExportCommand::write(QWidget* parent, dbf::DbfTable& table, const std::filesystem::path& file,
                          const ExportOptions& options) {
    const QString fileName = QString::fromStdU16String(file.filename().u16string());
    std::optional<std::size_t> rows;
    try {
        ExportProgress progress(parent, fileName, progressDelay_);
        rows = exporting::exportTable(table, file, options,
                                      [&progress](std::size_t done, std::size_t total) {
                                          return progress.update(done, total);
                                      });
    } catch (const xls::XlsError& error) {
        // The workbook's storage names only its call and code: the sentence around it says what
        // failed, as the other types' messages do.
        dialogs_.error(parent, QStringLiteral("Файл \"%1\" не записан (%2).")
                                   .arg(QString::fromStdU16String(file.u16string()),
                                        QString::fromUtf8(error.what())));
        return;
    } catch (const std::exception& error) {
        dialogs_.error(parent, QString::fromUtf8(error.what()));
        return;
    }
    if (rows) {
        dialogs_.information(
            parent, QString::fromStdString(exporting::exportResultText(file, *rows)), kCaption);
    }
}

}  // namespace zond::app
