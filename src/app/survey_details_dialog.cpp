#include "app/survey_details_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <stdexcept>

#include "link/settings_store.h"
#include "ui/user_dialogs.h"

namespace zond::app {

namespace {

constexpr int kTextLines = 3;

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

SurveyDetailsDialog::SurveyDetailsDialog(ui::UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
    setObjectName(QStringLiteral("SurveyDetailsDialog"));
    setWindowTitle(QStringLiteral("Сведения об обследовании"));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    instrument_ = new QLabel;
    instrument_->setObjectName(QStringLiteral("instrument"));
    instrument_->setWordWrap(true);
    form->addRow(QStringLiteral("Прибор и датчики (из таблицы):"), instrument_);
    for (const auto& field : report::surveyFields()) {
        QWidget* editor = nullptr;
        if (field.multiline) {
            auto* box = new QPlainTextEdit;
            box->setTabChangesFocus(true);
            box->setFixedHeight(box->fontMetrics().lineSpacing() * kTextLines + 12);
            editor = box;
        } else {
            auto* line = new QLineEdit;
            if (field.key == report::kRequiredR0Key) {
                line->setPlaceholderText(QStringLiteral("необязательно, например 3,2"));
            }
            editor = line;
        }
        editor->setObjectName(QString::fromLatin1(field.key.data(), qsizetype(field.key.size())));
        form->addRow(QString::fromUtf8(field.label) + QLatin1Char(':'), editor);
        editors_[field.key] = editor;
    }
    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addLayout(form);
    pageLayout->addStretch(1);  // spare height below the fields, not between them
    auto* scroll = new QScrollArea;
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(okCancel(this));
    resize(720, 700);
}

QString SurveyDetailsDialog::text(std::string_view key) const {
    QWidget* editor = editors_.at(key);
    if (auto* box = qobject_cast<QPlainTextEdit*>(editor)) {
        return box->toPlainText();
    }
    return static_cast<QLineEdit*>(editor)->text();
}

void SurveyDetailsDialog::setText(std::string_view key, const QString& value) {
    QWidget* editor = editors_.at(key);
    if (auto* box = qobject_cast<QPlainTextEdit*>(editor)) {
        box->setPlainText(value);
    } else {
        static_cast<QLineEdit*>(editor)->setText(value);
    }
}

void SurveyDetailsDialog::load(const std::filesystem::path& table, const QStringList& sensorTypes) {
    table_ = table;
    setWindowTitle(QStringLiteral("Сведения об обследовании — ") +
                   QString::fromStdU16String(table.stem().u16string()));
    instrument_->setText(QStringLiteral("ЗОНД-8Т.05; тип датчиков: %1")
                             .arg(sensorTypes.isEmpty() ? QStringLiteral("не указан в таблице")
                                                        : sensorTypes.join(QStringLiteral(", "))));
    report::SurveyLoad load = report::loadSurveyDetails(table);
    loaded_ = std::move(load.details);
    for (const auto& field : report::surveyFields()) {
        setText(field.key, loaded_.value(field.key));
    }
    if (!load.problem.isEmpty()) {
        dialogs_.message(this, load.problem + QStringLiteral(" При сохранении файл будет заменён."),
                         QStringLiteral("Сведения об обследовании"), ui::MessageIcon::Warning,
                         QMessageBox::Ok);
    }
}

void SurveyDetailsDialog::accept() {
    report::SurveyDetails details = loaded_;
    try {
        for (const auto& field : report::surveyFields()) {
            details.setValue(field.key, text(field.key));
        }
        report::saveSurveyDetails(table_, details);
    } catch (const std::exception& error) {
        dialogs_.error(this, QString::fromUtf8(error.what()));
        return;
    }
    loaded_ = details;
    QDialog::accept();
    emit saved();
}

OrganisationDialog::OrganisationDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("OrganisationDialog"));
    setWindowTitle(QStringLiteral("Организация"));
    name_ = new QLineEdit;
    name_->setObjectName(QStringLiteral("organisationName"));
    address_ = new QLineEdit;
    address_->setObjectName(QStringLiteral("organisationAddress"));
    accreditation_ = new QLineEdit;
    accreditation_->setObjectName(QStringLiteral("organisationAccreditation"));
    auto* note = new QLabel(QStringLiteral("Печатается в начале каждого протокола."));
    note->setWordWrap(true);
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(QStringLiteral("Наименование:"), name_);
    form->addRow(QStringLiteral("Адрес:"), address_);
    form->addRow(QStringLiteral("Аккредитация:"), accreditation_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
    resize(620, sizeHint().height());
}

void OrganisationDialog::load() {
    const report::Organisation organisation =
        report::loadOrganisation(*link::openProgramSettings());
    name_->setText(organisation.name);
    address_->setText(organisation.address);
    accreditation_->setText(organisation.accreditation);
}

void OrganisationDialog::accept() {
    report::saveOrganisation(*link::openProgramSettings(),
                             {name_->text(), address_->text(), accreditation_->text()});
    QDialog::accept();
}

}  // namespace zond::app
