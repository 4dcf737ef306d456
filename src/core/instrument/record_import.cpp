#include "instrument/record_import.h"

#include <algorithm>
#include <exception>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "instrument/image_decoding.h"

namespace zond::instrument {

namespace {

constexpr std::size_t kFirstRecord = 2;
// Rows written to the table at once: few writes for a whole memory, and a progress report
// every few tenths of a second on the slowest disk.
constexpr std::size_t kRowsPerWrite = 64;

std::string recordDate(std::span<const std::uint8_t> record) {
    return dateText(record[record_offset::kDay], record[record_offset::kMonth],
                    record[record_offset::kYear]);
}

std::string recordTime(std::span<const std::uint8_t> record) {
    return timeText(record[record_offset::kHour], record[record_offset::kMinute],
                    record[record_offset::kSecond]);
}

std::int64_t recordTimeStamp(std::span<const std::uint8_t> record) {
    return timeStampOf(record[record_offset::kDay], record[record_offset::kMonth],
                       record[record_offset::kYear], record[record_offset::kHour],
                       record[record_offset::kMinute], record[record_offset::kSecond]);
}

// The texts every row of a mode shares, set once: the mode name, the channel count and the sensor
// type. Refused when the table's code page cannot hold them (the other fields are digits and
// separators).
std::vector<dbf::DbfRecord> rowsOfModes(const dbf::DbfTable& table,
                                        const measurement::MeasurementFieldIndexes& fields,
                                        const DeviceInfo& info, std::string_view type) {
    const auto setStorable = [&](dbf::DbfRecord& row, int field, std::string_view text) {
        if (!row.setText(field, text)) {
            throw dbf::DbfError("Таблица записана в кодовой странице " +
                                std::to_string(table.codePage().number()) +
                                ", в которой нельзя сохранить текст \"" + std::string(text) +
                                "\". Записи не добавлены.");
        }
    };
    // The second row is the first with its own mode name: the texts are checked in the order
    // the rows would be built one by one.
    dbf::DbfRecord first = table.blankRecord();
    setStorable(first, fields.mode, modeName(0));
    setStorable(first, fields.type, type);
    first.setInteger(fields.enCh, info.channelCount);
    dbf::DbfRecord second = first;
    setStorable(second, fields.mode, modeName(1));
    std::vector<dbf::DbfRecord> rows;
    rows.reserve(2);
    rows.push_back(std::move(first));
    rows.push_back(std::move(second));
    return rows;
}

std::int64_t lastRowTimeStamp(dbf::DbfTable& table,
                              const measurement::MeasurementFieldIndexes& fields) {
    if (!table.last()) {
        return 0;
    }
    const dbf::DbfRecord row = table.current();
    return TimeStampSeconds(row.text(fields.date), row.text(fields.time));
}

}  // namespace

namespace {

std::size_t arrivedRecordCount(std::span<const std::uint8_t> image) {
    return image.size() < kFirstRecord ? 0
                                       : (image.size() - kFirstRecord) / DeviceImage::kRecordSize;
}

}  // namespace

std::size_t imageRecordCount(std::span<const std::uint8_t> image) {
    if (image.size() < kFirstRecord) {
        return 0;
    }
    return std::min<std::size_t>(ReadWord(image, 0), arrivedRecordCount(image));
}

std::string shortImageWarning(std::span<const std::uint8_t> image) {
    if (image.size() < kFirstRecord || ReadWord(image, 0) <= arrivedRecordCount(image)) {
        return {};
    }
    return "Прибор сообщил о " + std::to_string(ReadWord(image, 0)) +
           " записях, а получено только " + std::to_string(arrivedRecordCount(image)) +
           ". Импортированы полученные записи.";
}

ImportStoppedError::ImportStoppedError(std::string_view cause, std::size_t recordNumber,
                                       std::string_view recordMoment, std::size_t rowsKept)
    : FillStoppedError(std::string(cause) + "\nИмпорт остановлен на записи № " +
                       std::to_string(recordNumber) + " (" + std::string(recordMoment) +
                       "). Сохранено записей до неё: " + std::to_string(rowsKept) + "."),
      recordNumber_(recordNumber),
      rowsKept_(rowsKept) {}

ImportResult importRecords(dbf::DbfTable& table, const measurement::MeasurementFieldIndexes& fields,
                           DeviceInfo& info, std::span<const std::uint8_t> image, ImportMode mode,
                           char decimalSeparator, const ImportProgress& progress) {
    ImportResult result;
    if (!table.isOpen()) {
        return result;
    }
    table.refresh();
    applySensorSubstitution(info);
    const std::vector<dbf::DbfRecord> rowOfMode = rowsOfModes(table, fields, info, typeText(info));
    const long version = versionNumber(info);

    const std::size_t count = imageRecordCount(image);
    const auto recordAt = [&](std::size_t index) {
        return image.subspan(kFirstRecord + index * DeviceImage::kRecordSize,
                             DeviceImage::kRecordSize);
    };

    // Where the import stops, the record that stopped it is named, and the rows before it stay.
    const auto stopAt = [&](std::size_t index, const std::exception& cause) {
        const auto record = recordAt(index);
        return ImportStoppedError(cause.what(), index + 1,
                                  recordDate(record) + " " + recordTime(record), result.added);
    };

    // The instrument keeps its records in time order: skip up to the first one newer than the
    // table's last row, and take every record from there on.
    if (mode == ImportMode::Append) {
        const std::int64_t last = lastRowTimeStamp(table, fields);
        try {
            while (result.skipped < count && recordTimeStamp(recordAt(result.skipped)) <= last) {
                ++result.skipped;
            }
        } catch (const std::exception& error) {
            throw stopAt(result.skipped, error);
        }
    }

    const std::size_t total = count - result.skipped;
    // Rows go to the table in batches, one write each. Each row is filled in one record and its
    // bytes are gathered, so the batch needs no memory of its own beyond them.
    const std::size_t batchSize = std::min(total, kRowsPerWrite);
    std::vector<std::uint8_t> batch;
    batch.reserve(batchSize * table.header().recordLength);
    std::size_t filled = 0;
    const auto post = [&] {
        table.appendRecordBytes(batch);
        result.added += filled;
        batch.clear();
        filled = 0;
    };
    dbf::DbfRecord row;
    const auto addRow = [&](std::size_t index) {
        const auto record = recordAt(index);
        const std::uint8_t flags = record[record_offset::kFlags];
        row = rowOfMode[flags >> 7];
        row.setInteger(fields.n, static_cast<long long>(index + 1));
        row.setInteger(fields.channel, flags & 0x07);
        row.setText(fields.tIn, temperatureText(decodeTemperature(record, record_offset::kTempIn),
                                                decimalSeparator));
        row.setText(fields.tExt, temperatureText(decodeTemperature(record, record_offset::kTempExt),
                                                 decimalSeparator));
        row.setText(fields.time, recordTime(record));
        row.setText(fields.date, recordDate(record));
        row.setText(fields.timeSec, std::to_string(recordTimeStamp(record)));
        row.setDouble(fields.tavis1, decodeFlux(record, record_offset::kFlux1, version));
        row.setDouble(fields.tavis2, decodeFlux(record, record_offset::kFlux2, version));
        row.setDouble(fields.tavis3, decodeFlux(record, record_offset::kFlux3, version));
        batch.insert(batch.end(), row.bytes().begin(), row.bytes().end());
        ++filled;
    };
    for (std::size_t index = result.skipped; index < count; ++index) {
        try {
            addRow(index);
        } catch (const std::exception& error) {
            post();  // the rows before a bad record stay
            if (result.added > 0) {
                table.sync();
            }
            throw stopAt(index, error);
        }
        if (filled < batchSize && index + 1 < count) {
            continue;
        }
        post();
        if (progress && !progress(result.added, total)) {
            result.cancelled = true;
            break;
        }
    }
    if (result.added > 0) {
        table.sync();
    }
    return result;
}

}  // namespace zond::instrument
