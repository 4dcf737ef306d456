// "Подготовка отчета": shows how far the layout has got and lets the user cancel it.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

#include "report/report_layout.h"

class QLabel;
class QPushButton;

namespace zond::report {

class ProgressWindow final : public QDialog, public LayoutProgress {
    Q_OBJECT

  public:
    explicit ProgressWindow(QWidget* parent);

    bool step(LayoutPass pass, int pageNumber) override;
    bool cancelled() const { return cancelled_; }
    QPushButton* cancelButton() const { return cancel_; }
    QString stageText() const;
    QString numberText() const;

    // Closing the window cancels as the button does.
    void reject() override;

  private:
    QLabel* stage_;
    QLabel* number_;
    QPushButton* cancel_;
    QElapsedTimer sinceEvents_;
    bool cancelled_ = false;
};

}  // namespace zond::report
