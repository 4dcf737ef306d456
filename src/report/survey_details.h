// The details of a survey that the resistance protocol prints: kept per table in NAME.survey.json
// beside it (UTF-8 JSON, written atomically; the table file never changes for them), and the
// organisation, a program setting printed at the top of every protocol.
#pragma once

#include <QJsonObject>
#include <QString>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

class QSettings;

namespace zond::report {

// One detail: its key in the file and its label in the dialog and the protocol.
struct SurveyField {
    std::string_view key;
    const char* label;  // UTF-8
    bool multiline;
};

// The details in the order the dialog and the protocol list them.
std::span<const SurveyField> surveyFields();

inline constexpr std::string_view kRequiredR0Key = "required_r0";

class SurveyDetails {
  public:
    SurveyDetails() = default;
    explicit SurveyDetails(QJsonObject json) : json_(std::move(json)) {}

    // The detail's text; required_r0 with the given decimal separator; empty when not set.
    QString value(std::string_view key, QChar decimalSeparator = u',') const;
    // An empty text removes the detail. required_r0 must be a number above zero (',' or '.');
    // throws std::invalid_argument with the text for the user otherwise, or for an unknown key.
    void setValue(std::string_view key, const QString& value);
    std::optional<double> requiredR0() const;

    // Keys this program does not know are kept as they were read.
    const QJsonObject& json() const { return json_; }

  private:
    QJsonObject json_;
};

// NAME.survey.json beside NAME.db.
std::filesystem::path surveyDetailsPath(const std::filesystem::path& table);

struct SurveyLoad {
    SurveyDetails details;
    // Why the file could not be read (its details are then empty); empty when it was read or
    // there is none yet.
    QString problem;
};
SurveyLoad loadSurveyDetails(const std::filesystem::path& table);

// Replaces the file only with a complete one. Throws fileio::FileWriteError with the cause.
void saveSurveyDetails(const std::filesystem::path& table, const SurveyDetails& details);

struct Organisation {
    QString name;
    QString address;
    QString accreditation;
};
// Inside the program settings' own group.
Organisation loadOrganisation(const QSettings& settings);
void saveOrganisation(QSettings& settings, const Organisation& organisation);

}  // namespace zond::report
