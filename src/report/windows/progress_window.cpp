#include "report/windows/progress_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zond::report {

namespace {
// The layout runs on the GUI thread; it lets the window breathe this often.
constexpr qint64 kEventIntervalMs = 40;
}  // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent),
      stage_(new QLabel(this)),
      number_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("Отмена"), this)) {
    setWindowTitle(QStringLiteral("Подготовка отчета"));
    setWindowModality(Qt::ApplicationModal);
    number_->setMinimumWidth(60);
    auto* line = new QHBoxLayout;
    line->addWidget(stage_);
    line->addWidget(number_);
    line->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::reject);
    sinceEvents_.start();
}

bool ProgressWindow::step(LayoutPass pass, int pageNumber) {
    stage_->setText(pass == LayoutPass::Counting ? QStringLiteral("Выполняется 1-й проход:")
                                                 : QStringLiteral("Формируется страница:"));
    number_->setText(QString::number(pageNumber));
    if (!isVisible() && !cancelled_) {
        show();
    }
    if (sinceEvents_.elapsed() >= kEventIntervalMs) {
        QApplication::processEvents();
        sinceEvents_.restart();
    }
    return !cancelled_;
}

QString ProgressWindow::stageText() const {
    return stage_->text();
}

QString ProgressWindow::numberText() const {
    return number_->text();
}

void ProgressWindow::reject() {
    cancelled_ = true;
    QDialog::reject();
}

}  // namespace zond::report
