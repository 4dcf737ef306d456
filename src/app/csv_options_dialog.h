// The small dialog that asks how a CSV file is written: field separator, decimal separator and
// encoding.
#pragma once

#include <QDialog>
#include <optional>

#include "export/csv_export.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zond::app {

class CsvOptionsDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CsvOptionsDialog(const exporting::CsvOptions& initial, QWidget* parent = nullptr);

    exporting::CsvOptions options() const;

    // Shows the dialog; nothing when the user cancels.
    static std::optional<exporting::CsvOptions> ask(QWidget* parent,
                                                    const exporting::CsvOptions& initial);

  private:
    // OK only for options a reader can take apart; the reason stands under the choices.
    void checkChoice();

    QComboBox* delimiter_ = nullptr;
    QComboBox* decimalSeparator_ = nullptr;
    QComboBox* encoding_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace zond::app
