#include "app/csv_options_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zond::app {

using exporting::CsvEncoding;
using exporting::CsvOptions;

namespace {

QComboBox* choices(QWidget* parent, const char* name,
                   std::initializer_list<std::pair<QString, QVariant>> items,
                   const QVariant& current) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (const auto& [text, value] : items) {
        box->addItem(text, value);
    }
    box->setCurrentIndex(std::max(0, box->findData(current)));
    return box;
}

}  // namespace

CsvOptionsDialog::CsvOptionsDialog(const CsvOptions& initial, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Параметры CSV"));
    delimiter_ = choices(this, "delimiter",
                         {{QStringLiteral("Точка с запятой (;)"), int(';')},
                          {QStringLiteral("Запятая (,)"), int(',')},
                          {QStringLiteral("Табуляция"), int('\t')}},
                         int(initial.delimiter));
    decimalSeparator_ = choices(
        this, "decimalSeparator",
        {{QStringLiteral("Запятая (,)"), int(',')}, {QStringLiteral("Точка (.)"), int('.')}},
        int(initial.decimalSeparator));
    encoding_ = choices(this, "encoding",
                        {{QStringLiteral("UTF-8 с меткой BOM"), int(CsvEncoding::Utf8WithBom)},
                         {QStringLiteral("Windows-1251"), int(CsvEncoding::Cp1251)}},
                        int(initial.encoding));
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Разделитель полей:"), delimiter_);
    form->addRow(QStringLiteral("Десятичный разделитель:"), decimalSeparator_);
    form->addRow(QStringLiteral("Кодировка:"), encoding_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    // The dialog takes the size of what it shows, so the refusal's lines get their room.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);

    for (QComboBox* box : {delimiter_, decimalSeparator_}) {
        connect(box, &QComboBox::currentIndexChanged, this, &CsvOptionsDialog::checkChoice);
    }
    checkChoice();
}

CsvOptions CsvOptionsDialog::options() const {
    CsvOptions chosen;
    chosen.delimiter = static_cast<char>(delimiter_->currentData().toInt());
    chosen.decimalSeparator = static_cast<char>(decimalSeparator_->currentData().toInt());
    chosen.encoding = static_cast<CsvEncoding>(encoding_->currentData().toInt());
    return chosen;
}

void CsvOptionsDialog::checkChoice() {
    QString problem;
    try {
        exporting::validate(options());
    } catch (const exporting::ExportError& error) {
        problem = QString::fromUtf8(error.what());
    }
    problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
    ok_->setEnabled(problem.isEmpty());
}

std::optional<CsvOptions> CsvOptionsDialog::ask(QWidget* parent, const CsvOptions& initial) {
    CsvOptionsDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.options();
}

}  // namespace zond::app
