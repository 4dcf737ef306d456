// zond8t-cli survey: shows or edits the survey's details kept beside a table (NAME.survey.json)
// and the organisation printed at the top of every resistance protocol.
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QString>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "link/settings_store.h"
#include "report/survey_details.h"

namespace zond::cli {

namespace {

using report::SurveyDetails;

// --set KEY=VALUE and --unset KEY may repeat; they are taken out before the other options.
struct Edits {
    std::vector<std::pair<std::string, std::string>> set;
    std::vector<std::string> unset;
    std::vector<std::string> rest;
};

Edits takeEdits(std::span<const std::string> args) {
    Edits edits;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        std::string name = arg;
        if (arg.starts_with("--set=") || arg.starts_with("--unset=")) {
            name = arg.substr(0, arg.find('='));
            value = arg.substr(arg.find('=') + 1);
        } else if (arg == "--set" || arg == "--unset") {
            if (i + 1 >= args.size()) {
                throw CliError("option " + arg + " needs a value");
            }
            value = args[++i];
        } else {
            edits.rest.push_back(arg);
            continue;
        }
        if (name == "--unset") {
            edits.unset.push_back(value);
            continue;
        }
        const auto equals = value.find('=');
        if (equals == std::string::npos) {
            throw CliError("--set wants KEY=VALUE, not '" + value + "'");
        }
        edits.set.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    }
    return edits;
}

void applyEdits(SurveyDetails& details, const Edits& edits) {
    try {
        for (const auto& key : edits.unset) {
            details.setValue(key, {});
        }
        for (const auto& [key, value] : edits.set) {
            details.setValue(key, QString::fromStdString(value));
        }
    } catch (const std::invalid_argument& error) {
        throw CliError(error.what());
    }
}

// Continuation lines of a value are indented under its label.
void printValue(const QString& label, const QString& value) {
    QString text = value;
    text.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
    std::cout << label.toStdString() << ": " << text.toStdString() << '\n';
}

void printDetails(const SurveyDetails& details, const report::Organisation& organisation,
                  char separator) {
    printValue(QStringLiteral("Организация"), organisation.name);
    printValue(QStringLiteral("Адрес организации"), organisation.address);
    printValue(QStringLiteral("Аккредитация"), organisation.accreditation);
    for (const auto& field : report::surveyFields()) {
        printValue(QString::fromUtf8(field.label) + QStringLiteral(" [") +
                       QString::fromLatin1(field.key.data(), qsizetype(field.key.size())) +
                       QLatin1Char(']'),
                   details.value(field.key, QLatin1Char(separator)));
    }
}

// Every key, null where it is not set, and the organisation.
void printJson(const SurveyDetails& details, const report::Organisation& organisation) {
    QJsonObject json;
    for (const auto& field : report::surveyFields()) {
        const QString key = QString::fromLatin1(field.key.data(), qsizetype(field.key.size()));
        const QJsonValue value = details.json().value(key);
        json.insert(key, value.isUndefined() ? QJsonValue() : value);
    }
    json.insert(QStringLiteral("organisation"),
                QJsonObject{{QStringLiteral("name"), organisation.name},
                            {QStringLiteral("address"), organisation.address},
                            {QStringLiteral("accreditation"), organisation.accreditation}});
    std::cout << QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString() << '\n';
}

// Sets the parts of the organisation given; returns it as it is now.
report::Organisation editOrganisation(const ParsedArgs& parsed) {
    const auto settings = link::openProgramSettings();
    report::Organisation organisation = report::loadOrganisation(*settings);
    const std::pair<std::string_view, QString*> parts[] = {
        {"--organisation", &organisation.name},
        {"--organisation-address", &organisation.address},
        {"--organisation-accreditation", &organisation.accreditation}};
    bool changed = false;
    for (const auto& [option, part] : parts) {
        if (parsed.has(option)) {
            *part = QString::fromStdString(parsed.option(option));
            changed = true;
        }
    }
    if (changed) {
        report::saveOrganisation(*settings, organisation);
        if (settings->status() != QSettings::NoError) {
            throw CliError("the program settings could not be written");
        }
    }
    return organisation;
}

int runSurvey(std::span<const std::string> args) {
    const Edits edits = takeEdits(args);
    const ParsedArgs parsed = parseArgs(edits.rest,
                                        {"--organisation", "--organisation-address",
                                         "--organisation-accreditation", "--decimal-separator"},
                                        {"--json"});
    const bool organisationOnly = parsed.has("--organisation") ||
                                  parsed.has("--organisation-address") ||
                                  parsed.has("--organisation-accreditation");
    expectPositionals(parsed, organisationOnly ? 0 : 1, 1);
    const report::Organisation organisation = editOrganisation(parsed);
    if (parsed.positionals.empty()) {
        if (!edits.set.empty() || !edits.unset.empty()) {
            throw CliError("--set and --unset need a table");
        }
        return kExitOk;
    }

    const std::filesystem::path table = parsed.file(0);
    if (!std::filesystem::is_regular_file(table)) {
        throw CliError("no table " + parsed.positionals[0], kExitTableUnreadable);
    }
    report::SurveyLoad load = report::loadSurveyDetails(table);
    const bool edit = !edits.set.empty() || !edits.unset.empty();
    if (!load.problem.isEmpty()) {
        if (edit) {
            // The damaged file may hold what was typed; it is not replaced behind the user's back.
            throw CliError(load.problem.toStdString() +
                               " Исправьте или удалите его, чтобы записать сведения заново.",
                           kExitTableUnreadable);
        }
        std::cerr << "zond8t-cli survey: " << load.problem.toStdString() << '\n';
    }
    if (edit) {
        applyEdits(load.details, edits);
        report::saveSurveyDetails(table, load.details);
    }
    if (parsed.has("--json")) {
        printJson(load.details, organisation);
    } else {
        printDetails(load.details, organisation, decimalSeparator(parsed));
    }
    return kExitOk;
}

}  // namespace

const Command kSurveyCommand{
    "survey",
    "show or edit the survey's details kept beside a table, and the organisation",
    "usage: zond8t-cli survey TABLE [--set KEY=VALUE]... [--unset KEY]... [--json]\n"
    "                         [--decimal-separator C]\n"
    "       zond8t-cli survey [TABLE] --organisation TEXT [--organisation-address TEXT]\n"
    "                         [--organisation-accreditation TEXT]\n"
    "\n"
    "The details the resistance protocol prints are kept in TABLE's folder as NAME.survey.json\n"
    "(UTF-8 JSON; the table itself is never changed). Without options they are shown, every key\n"
    "with its Russian label, empty ones too. Keys:\n"
    "  protocol_number object address client construction orientation placement serial\n"
    "  verification operator checker weather required_r0 notes\n"
    "required_r0 is the required resistance R0тр in m²·K/W, a number above zero ('.' or ',').\n"
    "\n"
    "  --set KEY=VALUE      sets a detail (repeatable; the value may hold any text, newlines too)\n"
    "  --unset KEY          removes a detail (repeatable; applied before --set)\n"
    "  --json               one JSON object: every key (null when not set) and \"organisation\"\n"
    "  --decimal-separator C  in required_r0 as shown (default: the user's locale)\n"
    "  --organisation TEXT  the organisation's name, a program setting printed at the top of\n"
    "                       every protocol; --organisation-address and\n"
    "                       --organisation-accreditation set its other two lines\n"
    "\n"
    "A damaged NAME.survey.json is reported and shown as empty; it is replaced only after it has\n"
    "been mended or removed.\n"
    "\n"
    "Exit status: 0 on success, 1 for a usage error or a file that cannot be written, 2 when the\n"
    "table is missing or its details file is damaged and an edit was asked for.\n",
    runSurvey,
};

}  // namespace zond::cli
