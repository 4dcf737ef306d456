// SurveyDetailsDialog "Сведения об обследовании": the details of a table's survey that the
// resistance protocol prints, kept beside the table in NAME.survey.json. The instrument and its
// sensor types come from the table and are shown, not typed. OrganisationDialog "Организация":
// the program setting printed at the top of every protocol.
#pragma once

#include <QDialog>
#include <QStringList>
#include <filesystem>
#include <map>
#include <string_view>

#include "report/survey_details.h"

class QLabel;
class QLineEdit;
class QSettings;

namespace zond::ui {
class UserDialogs;
}

namespace zond::app {

class SurveyDetailsDialog final : public QDialog {
    Q_OBJECT

  public:
    SurveyDetailsDialog(ui::UserDialogs& dialogs, QWidget* parent = nullptr);

    // Fills the fields from the table's details file; a damaged one is reported and its fields
    // stay empty. Then open() or exec() shows the dialog.
    void load(const std::filesystem::path& table, const QStringList& sensorTypes);

    // Writes the details when they are valid and the file can be written; the dialog stays open
    // with what was typed otherwise.
    void accept() override;

  signals:
    void saved();

  private:
    QString text(std::string_view key) const;
    void setText(std::string_view key, const QString& value);

    ui::UserDialogs& dialogs_;
    std::filesystem::path table_;
    report::SurveyDetails loaded_;
    QLabel* instrument_ = nullptr;
    std::map<std::string_view, QWidget*> editors_;
};

class OrganisationDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit OrganisationDialog(QWidget* parent = nullptr);

    // Shows the setting as it is now.
    void load();
    void accept() override;

  private:
    QLineEdit* name_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* accreditation_ = nullptr;
};

}  // namespace zond::app
