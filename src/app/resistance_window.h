// ResistanceWindow "Термическое сопротивление": the wall's thermal resistance from the grid's
// selection (two or more rows) or every live row, per heat-flux channel: the average and the
// dynamic method side by side, the criteria with the temperature-difference condition, the
// uncertainty, the storage-drift warning, the mean over channels, the daily R and the
// convergence chart. αв, αн, the minimum difference and the sensors' uncertainties recompute at
// once and are remembered; the protocol, with the survey's details kept beside the table, is
// printed or saved as PDF or as an OpenDocument text.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <span>

#include "analysis/wall_resistance.h"
#include "dbf/dbf_table.h"
#include "measurement/measurement_schema.h"
#include "measurement/row_snapshot.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QSettings;
class QTableWidget;
class QTextBrowser;
class QTextDocument;

namespace zond::chart {
class ResistanceChart;
}
namespace zond::report {
class PrinterAccess;
}
namespace zond::ui {
class UserDialogs;
}

namespace zond::app {

class SurveyDetailsDialog;

class ResistanceWindow : public QWidget {
    Q_OBJECT

  public:
    ResistanceWindow(ui::UserDialogs& dialogs, char decimalSeparator, QWidget* parent = nullptr);
    ~ResistanceWindow() override;

    // Reads the rows (the selection when it has two or more, otherwise every live row of the
    // table's order) and shows their analysis.
    void analyse(const dbf::DbfTable& table, const measurement::MeasurementFieldIndexes& fields,
                 std::span<const measurement::RowSnapshot> selection);

    const analysis::AnalysisResult& result() const { return result_; }

    // "Печать", "Сохранить PDF…" and "Сохранить .odt…": the protocol. Without a printer
    // "Печать" says so and offers the PDF instead.
    void print();
    void savePdf();
    void saveOdt();
    // "Сведения об обследовании…" of the table analysed.
    void editSurveyDetails();
    // Where "Печать" prints: the system's printers unless a test gives its own.
    void setPrinters(std::unique_ptr<report::PrinterAccess> printers);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* buildControls();
    QWidget* buildConditions();
    QWidget* buildResults();
    // Remembers the coefficients, the minimum difference and the sensors' uncertainties, and
    // recomputes.
    void onOptionsChanged();
    // Analyses the rows read last with the present options and shows the result.
    void recompute();
    void showSummary();
    void showDaily();
    // The protocol of the present result with the details as stored now; nothing when it could
    // not be built (the user was told why).
    std::unique_ptr<QTextDocument> protocol();
    void saveProtocol(const QString& title, const QString& filter, const QString& suffix,
                      void (*write)(const std::filesystem::path&, const QTextDocument&));

    ui::UserDialogs& dialogs_;
    char decimalSeparator_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<report::PrinterAccess> printers_;
    QDoubleSpinBox* alphaIn_ = nullptr;
    QDoubleSpinBox* alphaOut_ = nullptr;
    QDoubleSpinBox* minDifference_ = nullptr;
    QDoubleSpinBox* fluxUncertainty_ = nullptr;
    QDoubleSpinBox* temperatureUncertainty_ = nullptr;
    QCheckBox* longest_ = nullptr;
    QLabel* heading_ = nullptr;
    QTextBrowser* results_ = nullptr;
    QTableWidget* daily_ = nullptr;
    chart::ResistanceChart* chart_ = nullptr;
    QWidget* chartView_ = nullptr;

    analysis::Readings readings_;
    analysis::AnalysisResult result_;
    QString tableName_;
    QString tableFolder_;
    std::filesystem::path tablePath_;
    QStringList sensorTypes_;
    SurveyDetailsDialog* survey_ = nullptr;
    QDateTime calculatedAt_;
};

}  // namespace zond::app
