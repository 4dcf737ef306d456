// "Печать": which printer, how many copies, which pages.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <optional>

#include "report/page_selection.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPrinterInfo;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace zond::report {

class PrintDialog final : public QDialog {
    Q_OBJECT

  public:
    // "Текущая" is offered only with a current page (1-based), as in the preview.
    PrintDialog(const QStringList& printers, const QString& defaultPrinter,
                std::optional<int> currentPage, QWidget* parent);
    ~PrintDialog() override;

    PrintRequest request() const;
    // The chosen printer, carrying what "Свойства" set on it.
    std::unique_ptr<QPrinter> takePrinter();

    QComboBox* printerBox() const { return printer_; }
    QRadioButton* allPagesButton() const { return allPages_; }
    QRadioButton* currentPageButton() const { return currentPageButton_; }
    QRadioButton* pageNumbersButton() const { return pageNumbers_; }
    QLineEdit* pageNumbersEdit() const { return numbers_; }
    QSpinBox* copiesBox() const { return copies_; }
    QCheckBox* collateBox() const { return collate_; }
    QComboBox* parityBox() const { return parity_; }
    QPushButton* okButton() const { return ok_; }

  private:
    void showPrinter(const QString& name);
    void showDetails(const QPrinterInfo& info);
    void editProperties();
    void updateOk();

    QComboBox* printer_;
    QLabel* state_;
    QLabel* model_;
    QLabel* location_;
    QLabel* comment_;
    QRadioButton* allPages_;
    QRadioButton* currentPageButton_ = nullptr;
    std::optional<int> currentPage_;
    QRadioButton* pageNumbers_;
    QLineEdit* numbers_;
    QSpinBox* copies_;
    QCheckBox* collate_;
    QComboBox* parity_;
    QPushButton* ok_;
    std::unique_ptr<QPrinter> chosen_;
};

}  // namespace zond::report
