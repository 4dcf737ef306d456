#include "report/survey_details.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSettings>
#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

#include "fileio/atomic_file.h"
#include "text/number_text.h"

namespace zond::report {

namespace {

constexpr std::array<SurveyField, 14> kFields{{
    {"protocol_number", "Номер протокола", false},
    {"object", "Объект", false},
    {"address", "Адрес", false},
    {"client", "Заказчик", false},
    {"construction", "Ограждающая конструкция", true},
    {"orientation", "Ориентация", false},
    {"placement", "Место установки датчиков", true},
    {"serial", "Заводской номер прибора", false},
    {"verification", "Свидетельство о поверке (номер, дата)", false},
    {"operator", "Исполнитель", false},
    {"checker", "Проверил", false},
    {"weather", "Погодные условия", true},
    {kRequiredR0Key, "Нормируемое сопротивление теплопередаче R₀тр, м²·К/Вт", false},
    {"notes", "Примечания", true},
}};

const QString kOrganisationName = QStringLiteral("Organisation/Name");
const QString kOrganisationAddress = QStringLiteral("Organisation/Address");
const QString kOrganisationAccreditation = QStringLiteral("Organisation/Accreditation");

QString keyText(std::string_view key) {
    return QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size()));
}

bool known(std::string_view key) {
    return std::ranges::any_of(kFields, [&](const SurveyField& f) { return f.key == key; });
}

QString fileName(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.filename().u16string());
}

// Why a read object cannot be taken as the details, or nothing.
QString wrongValue(const QJsonObject& json) {
    for (const auto& field : kFields) {
        const QJsonValue value = json.value(keyText(field.key));
        const bool fits = value.isUndefined() || value.isNull() || value.isString() ||
                          (field.key == kRequiredR0Key && value.isDouble());
        if (!fits) {
            return QStringLiteral("значение «%1» не текст").arg(keyText(field.key));
        }
    }
    return {};
}

}  // namespace

std::span<const SurveyField> surveyFields() {
    return kFields;
}

QString SurveyDetails::value(std::string_view key, QChar decimalSeparator) const {
    const QJsonValue value = json_.value(keyText(key));
    if (value.isDouble()) {
        return QString::fromStdString(text::generalNumberText(
            value.toDouble(), static_cast<char>(decimalSeparator.unicode())));
    }
    return value.toString();
}

void SurveyDetails::setValue(std::string_view key, const QString& value) {
    if (!known(key)) {
        throw std::invalid_argument("Нет такого сведения об обследовании: " + std::string(key));
    }
    if (value.trimmed().isEmpty()) {
        json_.remove(keyText(key));
        return;
    }
    if (key != kRequiredR0Key) {
        json_.insert(keyText(key), value);
        return;
    }
    const auto number = text::parseNumber(value.toStdString(), ',');
    if (!number || !std::isfinite(*number) || *number <= 0) {
        throw std::invalid_argument(
            "Нормируемое сопротивление теплопередаче R₀тр должно быть "
            "числом больше нуля, а не «" +
            value.toStdString() + "»");
    }
    json_.insert(keyText(key), *number);
}

std::optional<double> SurveyDetails::requiredR0() const {
    const QJsonValue value = json_.value(keyText(kRequiredR0Key));
    if (value.isDouble()) {
        return value.toDouble();
    }
    return std::nullopt;
}

std::filesystem::path surveyDetailsPath(const std::filesystem::path& table) {
    std::filesystem::path path = table;
    path.replace_extension(".survey.json");
    return path;
}

SurveyLoad loadSurveyDetails(const std::filesystem::path& table) {
    const std::filesystem::path path = surveyDetailsPath(table);
    QFile file(QString::fromStdU16String(path.u16string()));
    if (!file.exists()) {
        return {};
    }
    const QString prefix =
        QStringLiteral("Сведения об обследовании не прочитаны: файл «%1» ").arg(fileName(path));
    const QString ending = QStringLiteral(". Поля оставлены пустыми; таблица не изменена.");
    if (!file.open(QIODevice::ReadOnly)) {
        return {{},
                prefix + QStringLiteral("не открывается (%1)").arg(file.errorString()) + ending};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    QString problem;
    if (error.error != QJsonParseError::NoError) {
        problem = QStringLiteral("ошибка в знаке %1").arg(error.offset + 1);
    } else if (!document.isObject()) {
        problem = QStringLiteral("не содержит объекта JSON");
    } else {
        problem = wrongValue(document.object());
    }
    if (!problem.isEmpty()) {
        return {{}, prefix + QStringLiteral("повреждён (%1)").arg(problem) + ending};
    }
    return {SurveyDetails(document.object()), {}};
}

void saveSurveyDetails(const std::filesystem::path& table, const SurveyDetails& details) {
    const QByteArray bytes = QJsonDocument(details.json()).toJson(QJsonDocument::Indented);
    fileio::AtomicFile file(surveyDetailsPath(table));
    file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    file.commit();
}

Organisation loadOrganisation(const QSettings& settings) {
    return {settings.value(kOrganisationName).toString(),
            settings.value(kOrganisationAddress).toString(),
            settings.value(kOrganisationAccreditation).toString()};
}

void saveOrganisation(QSettings& settings, const Organisation& organisation) {
    settings.setValue(kOrganisationName, organisation.name);
    settings.setValue(kOrganisationAddress, organisation.address);
    settings.setValue(kOrganisationAccreditation, organisation.accreditation);
    settings.sync();
}

}  // namespace zond::report
