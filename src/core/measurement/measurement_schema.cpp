#include "measurement/measurement_schema.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <string>

#include "dbf/pending_table.h"

namespace zond::measurement {

namespace {

using dbf::FieldKind;

const std::array<dbf::FieldSpec, kFieldCount> kFields = {{
    {std::string(field::kN), FieldKind::SmallInt, 0},
    {std::string(field::kMode), FieldKind::Text, 11},
    {std::string(field::kChannel), FieldKind::SmallInt, 0},
    {std::string(field::kEnCh), FieldKind::SmallInt, 0},
    {std::string(field::kDate), FieldKind::Text, 10},
    {std::string(field::kTime), FieldKind::Text, 8},
    {std::string(field::kTimeSec), FieldKind::Text, 20},
    {std::string(field::kType), FieldKind::Text, 50},
    {std::string(field::kTavis1), FieldKind::Float, 0},
    {std::string(field::kTavis2), FieldKind::Float, 0},
    {std::string(field::kTavis3), FieldKind::Float, 0},
    {std::string(field::kTIn), FieldKind::Text, 6},
    {std::string(field::kTExt), FieldKind::Text, 6},
    {std::string(field::kComment), FieldKind::Text, kCommentLength},
}};

bool isInteger(FieldKind kind) {
    return kind == FieldKind::SmallInt || kind == FieldKind::Int32 || kind == FieldKind::Int64;
}

// Any integer kind stands for any other; text of any width for text; floating-point needs
// decimals.
bool compatible(FieldKind expected, FieldKind actual) {
    if (isInteger(expected)) {
        return isInteger(actual);
    }
    return expected == actual;
}

// The field's index. The program's own tables have it at `usual` (their names are stored upper
// case, as the wanted ones are); other tables are searched.
int bind(const dbf::DbfTable& table, const dbf::FieldSpec& wanted, std::size_t usual) {
    const auto& fields = table.fields();
    const int index = usual < fields.size() && fields[usual].name == wanted.name
                          ? static_cast<int>(usual)
                          : table.fieldIndex(wanted.name);
    if (index < 0) {
        throw dbf::DbfError("Field \"" + wanted.name + "\" not found.");
    }
    if (!compatible(wanted.kind, table.fields()[static_cast<std::size_t>(index)].kind)) {
        throw dbf::DbfError("Field \"" + wanted.name + "\" has an incompatible type.");
    }
    return index;
}

}  // namespace

std::span<const dbf::FieldSpec> measurementFields() {
    return kFields;
}

void createMeasurementTable(const std::filesystem::path& path, std::uint8_t languageId,
                            const dbf::HeaderDateSource& headerDate) {
    dbf::DbfTable table(headerDate);
    createMeasurementTable(table, path, languageId, {});
}

void checkNewTableTarget(const std::filesystem::path& target) {
    dbf::PendingTable(target).checkTarget();
}

MeasurementFieldIndexes createMeasurementTable(dbf::DbfTable& table,
                                               const std::filesystem::path& target,
                                               std::uint8_t languageId, const TableFiller& fill) {
    table.close();
    dbf::PendingTable pending(target);
    // Again here, as a transfer may have taken minutes; and a failure then names the target,
    // not the temporary file.
    pending.checkTarget();
    dbf::DbfTable::create(pending.path(), kFields, languageId, table.headerDateSource());
    const MeasurementFieldIndexes fields = openMeasurementTable(table, pending.path());
    std::exception_ptr stopped;
    try {
        if (fill) {
            fill(fields);
        }
    } catch (const FillStoppedError&) {
        stopped = std::current_exception();
    } catch (...) {
        table.close();
        throw;
    }
    try {
        pending.commit(table);
    } catch (...) {
        table.close();
        throw;
    }
    if (stopped) {
        std::rethrow_exception(stopped);
    }
    return fields;
}

MeasurementFieldIndexes openMeasurementTable(dbf::DbfTable& table,
                                             const std::filesystem::path& path,
                                             dbf::OpenMode mode) {
    table.open(path, mode);
    try {
        MeasurementFieldIndexes bound;
        int* const slots[kFieldCount] = {&bound.n,      &bound.mode,   &bound.channel, &bound.enCh,
                                         &bound.date,   &bound.time,   &bound.timeSec, &bound.type,
                                         &bound.tavis1, &bound.tavis2, &bound.tavis3,  &bound.tIn,
                                         &bound.tExt,   &bound.comment};
        for (std::size_t i = 0; i < std::size(slots); ++i) {
            *slots[i] = bind(table, kFields[i], i);
        }
        return bound;
    } catch (...) {
        table.close();
        throw;
    }
}

namespace {

// The program's texts (mode and sensor names, comments) are Russian: a code page without the
// Russian letters would turn them into '?'.
bool holdsRussian(const text::CodePage& page) {
    const std::u32string letters =
        U"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя";
    return std::ranges::all_of(letters, [&](char32_t ch) { return page.canEncode(ch); });
}

}  // namespace

void NewTableLanguage::noteOpened(const dbf::DbfTable& table) {
    // An ID that names no code page we know means the program's own; write it out as such.
    const std::uint8_t opened = table.header().languageId;
    id_ = dbf::codePageOfLanguageId(opened) != 0 && holdsRussian(table.codePage())
              ? opened
              : kProgramLanguageId;
}

}  // namespace zond::measurement
