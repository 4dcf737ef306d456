#include "report/windows/print_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zond::report {

namespace {

QString stateText(QPrinter::PrinterState state) {
    switch (state) {
        case QPrinter::Idle:
            return QStringLiteral("Готов");
        case QPrinter::Active:
            return QStringLiteral("Печать");
        case QPrinter::Aborted:
            return QStringLiteral("Прервано");
        case QPrinter::Error:
            return QStringLiteral("Ошибка");
    }
    return {};
}

}  // namespace

PrintDialog::PrintDialog(const QStringList& printers, const QString& defaultPrinter,
                         std::optional<int> currentPage, QWidget* parent)
    : QDialog(parent),
      printer_(new QComboBox(this)),
      state_(new QLabel(this)),
      model_(new QLabel(this)),
      location_(new QLabel(this)),
      comment_(new QLabel(this)),
      allPages_(new QRadioButton(QStringLiteral("Все"), this)),
      currentPage_(currentPage),
      pageNumbers_(new QRadioButton(QStringLiteral("Номера:"), this)),
      numbers_(new QLineEdit(this)),
      copies_(new QSpinBox(this)),
      collate_(new QCheckBox(QStringLiteral("Разобрать по копиям"), this)),
      parity_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Печать"));

    auto* printerGroup = new QGroupBox(QStringLiteral("Принтер"), this);
    auto* properties = new QPushButton(QStringLiteral("Свойства..."), printerGroup);
    auto* printerForm = new QGridLayout(printerGroup);
    printerForm->addWidget(new QLabel(QStringLiteral("Имя:"), printerGroup), 0, 0);
    printerForm->addWidget(printer_, 0, 1);
    printerForm->addWidget(properties, 0, 2);
    const std::pair<const char16_t*, QLabel*> details[] = {{u"Состояние:", state_},
                                                           {u"Тип:", model_},
                                                           {u"Место:", location_},
                                                           {u"Комментарий:", comment_}};
    int row = 1;
    for (const auto& [caption, value] : details) {
        printerForm->addWidget(new QLabel(QString::fromUtf16(caption), printerGroup), row, 0);
        printerForm->addWidget(value, row++, 1, 1, 2);
    }
    printerForm->setColumnStretch(1, 1);

    auto* pagesGroup = new QGroupBox(QStringLiteral("Страницы"), this);
    auto* pagesLayout = new QGridLayout(pagesGroup);
    int pagesRow = 0;
    pagesLayout->addWidget(allPages_, pagesRow++, 0);
    if (currentPage_) {
        currentPageButton_ = new QRadioButton(QStringLiteral("Текущая"), pagesGroup);
        pagesLayout->addWidget(currentPageButton_, pagesRow++, 0);
    }
    pagesLayout->addWidget(pageNumbers_, pagesRow, 0);
    pagesLayout->addWidget(numbers_, pagesRow++, 1);
    pagesLayout->addWidget(
        new QLabel(QStringLiteral("Номера и/или диапазоны страниц через запятую, например: "
                                  "1,3,5-12"),
                   pagesGroup),
        pagesRow, 0, 1, 2);
    allPages_->setChecked(true);
    auto* pageChoice = new QButtonGroup(this);
    pageChoice->addButton(allPages_);
    if (currentPageButton_) {
        pageChoice->addButton(currentPageButton_);
    }
    pageChoice->addButton(pageNumbers_);

    auto* copiesGroup = new QGroupBox(QStringLiteral("Копии"), this);
    auto* copiesForm = new QFormLayout(copiesGroup);
    copies_->setRange(1, 999);
    copies_->setValue(1);
    copiesForm->addRow(QStringLiteral("Количество копий:"), copies_);
    copiesForm->addRow(collate_);
    collate_->setChecked(true);

    parity_->addItems({QStringLiteral("Все страницы диапазона"),
                       QStringLiteral("Нечетные страницы"), QStringLiteral("Четные страницы")});
    auto* parityForm = new QFormLayout;
    parityForm->addRow(QStringLiteral("Печатать:"), parity_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(printerGroup);
    auto* middle = new QHBoxLayout;
    middle->addWidget(pagesGroup, 1);
    middle->addWidget(copiesGroup);
    layout->addLayout(middle);
    layout->addLayout(parityForm);
    layout->addWidget(buttons);

    printer_->addItems(printers);
    printer_->setCurrentText(defaultPrinter);
    showPrinter(printer_->currentText());
    connect(printer_, &QComboBox::currentTextChanged, this, &PrintDialog::showPrinter);
    connect(properties, &QPushButton::clicked, this, &PrintDialog::editProperties);
    connect(numbers_, &QLineEdit::textEdited, this, [this] {
        pageNumbers_->setChecked(true);
        updateOk();
    });
    connect(pageChoice, &QButtonGroup::buttonToggled, this, &PrintDialog::updateOk);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PrintDialog::~PrintDialog() = default;

PrintRequest PrintDialog::request() const {
    PrintRequest request;
    request.printerName = printer_->currentText();
    request.copies = copies_->value();
    request.collate = collate_->isChecked();
    if (pageNumbers_->isChecked()) {
        request.pageNumbers = numbers_->text();
    } else if (currentPageButton_ && currentPageButton_->isChecked()) {
        request.pageNumbers = QString::number(*currentPage_);
    }
    request.parity = static_cast<PageParity>(parity_->currentIndex());
    return request;
}

std::unique_ptr<QPrinter> PrintDialog::takePrinter() {
    return std::move(chosen_);
}

void PrintDialog::showPrinter(const QString& name) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    showDetails(info);
    chosen_ = info.isNull() ? nullptr : std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

void PrintDialog::showDetails(const QPrinterInfo& info) {
    state_->setText(info.isNull() ? QString() : stateText(info.state()));
    model_->setText(info.makeAndModel());
    location_->setText(info.location());
    comment_->setText(info.description());
}

void PrintDialog::editProperties() {
    if (!chosen_) {
        return;
    }
    QPrintDialog properties(chosen_.get(), this);
    properties.setOptions({});
    if (properties.exec() == QDialog::Accepted &&
        chosen_->printerName() != printer_->currentText()) {
        // Another printer was picked in there: show it without losing its settings.
        const QSignalBlocker keepSettings(printer_);
        printer_->setCurrentText(chosen_->printerName());
        showDetails(QPrinterInfo::printerInfo(chosen_->printerName()));
    }
}

void PrintDialog::updateOk() {
    ok_->setEnabled(!pageNumbers_->isChecked() ||
                    parsePageNumbers(numbers_->text(), 0).has_value());
}

}  // namespace zond::report
