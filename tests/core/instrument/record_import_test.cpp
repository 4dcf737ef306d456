#include "instrument/record_import.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf_test_files.h"
#include "image_builder.h"
#include "instrument/image_decoding.h"
#include "measurement_table_test.h"

using namespace zond::instrument;
using zond::testing::buildImage;
using zond::testing::ImageRecordSpec;
using zond::testing::minuteRecords;

namespace {

class RecordImport : public zond::testing::MeasurementTableTest {
  protected:
    void SetUp() override {
        MeasurementTableTest::SetUp();
        info_.versionNumberText = "090818";
        info_.firmwareFlag = 27;
        info_.sensorCodes = {3, 3, 0};
        info_.channelCount = 2;
    }

    ImportResult run(const std::vector<std::uint8_t>& image, ImportMode mode,
                     const ImportProgress& progress = {}) {
        return importRecords(table_, fields_, info_, image, mode, ',', progress);
    }
    ImportResult run(const std::vector<ImageRecordSpec>& records, ImportMode mode) {
        return run(buildImage(records), mode);
    }

    std::string text(std::size_t row, const char* field) {
        return table_.read(table_.recordAt(row)).text(table_.requireField(field));
    }
    long long integer(std::size_t row, const char* field) {
        return table_.read(table_.recordAt(row)).asInteger(table_.requireField(field));
    }
    double number(std::size_t row, const char* field) {
        return table_.read(table_.recordAt(row)).asDouble(table_.requireField(field));
    }
    std::vector<long long> rowNumbers() {
        std::vector<long long> numbers;
        for (std::size_t row = 0; row < table_.rowCount(); ++row) {
            numbers.push_back(integer(row, "N"));
        }
        return numbers;
    }

    DeviceInfo info_;
};

// Record i of minuteRecords lies i minutes after 01.01.2009 00:00:00.
ImageRecordSpec recordAtMinute(int minute) {
    ImageRecordSpec r;
    r.hour = static_cast<std::uint8_t>(minute / 60);
    r.minute = static_cast<std::uint8_t>(minute % 60);
    return r;
}

}  // namespace

TEST_F(RecordImport, CreateModeFillsEveryFieldFromTheRecord) {
    ImageRecordSpec sample;  // the bytes 0x80, 0x29, 0x09, 0x9C, 0xFF, 30, 15, 12, 18, 8, 9, ...
    sample.flags = 0x80;
    sample.tempIn = 0x0929;
    sample.tempExt = 0xFF9C;
    sample.second = 30;
    sample.minute = 15;
    sample.hour = 12;
    sample.day = 18;
    sample.month = 8;
    sample.year = 9;
    sample.flux = {1234, 0, 123};
    ImageRecordSpec second;
    second.flags = 0x7B;  // mode bit clear, bits 3-6 ignored, channel 3
    second.tempIn = kTemperatureOverRange;
    second.tempExt = static_cast<std::uint16_t>(65536 - 4500);
    second.hour = 25;  // written as 00
    second.day = 0;    // written as 01
    second.flux = {65535, 5, 10};

    const auto result = run(std::vector{sample, second}, ImportMode::Create);
    EXPECT_EQ(result.added, 2u);
    EXPECT_EQ(result.skipped, 0u);
    ASSERT_EQ(table_.rowCount(), 2u);

    EXPECT_EQ(integer(0, "N"), 1);
    EXPECT_EQ(text(0, "MODE"), "Наблюдения");
    EXPECT_EQ(integer(0, "CHANNEL"), 0);
    EXPECT_EQ(integer(0, "EN_CH"), 2);
    EXPECT_EQ(text(0, "DATE"), "18.08.2009");
    EXPECT_EQ(text(0, "TIME"), "12:15:30");
    EXPECT_EQ(text(0, "TIME_SEC"), "63386280930");
    EXPECT_EQ(text(0, "TYPE"), "20X80/20X80/НЕТ");
    EXPECT_DOUBLE_EQ(number(0, "TAVIS_1"), 123.4);  // version 090818: tenths
    EXPECT_DOUBLE_EQ(number(0, "TAVIS_2"), 0.0);
    EXPECT_DOUBLE_EQ(number(0, "TAVIS_3"), 12.3);
    EXPECT_EQ(text(0, "T_IN"), "23,5");
    EXPECT_EQ(text(0, "T_EXT"), "-1");
    EXPECT_EQ(text(0, "COMMENT"), "");

    EXPECT_EQ(integer(1, "N"), 2);
    EXPECT_EQ(text(1, "MODE"), "Оперативный");
    EXPECT_EQ(integer(1, "CHANNEL"), 3);
    EXPECT_EQ(text(1, "DATE"), "01.01.2009");
    EXPECT_EQ(text(1, "TIME"), "00:00:00");
    EXPECT_EQ(text(1, "T_IN"), ">320.0");
    EXPECT_EQ(text(1, "T_EXT"), "-40");
    EXPECT_DOUBLE_EQ(number(1, "TAVIS_1"), 6553.5);
    EXPECT_DOUBLE_EQ(number(1, "TAVIS_2"), 0.5);
    EXPECT_DOUBLE_EQ(number(1, "TAVIS_3"), 1.0);
}

TEST_F(RecordImport, SensorSubstitutionAndOneChannelType) {
    info_.sensorCodes = {1, 0, 0};
    info_.channelCount = 1;
    info_.versionNumberText = "070514";
    ImageRecordSpec r;
    r.flux = {1234, 0, 0};
    run(std::vector{r}, ImportMode::Create);
    EXPECT_EQ(text(0, "TYPE"), "диам. 27 мм");
    EXPECT_EQ(integer(0, "EN_CH"), 1);
    EXPECT_DOUBLE_EQ(number(0, "TAVIS_1"), 12.3);  // version 070514: hundredths

    info_.sensorCodes = {2, 2, 0};
    run(std::vector{recordAtMinute(1)}, ImportMode::Create);
    EXPECT_EQ(info_.sensorCodes, (std::array<std::uint8_t, 3>{6, 6, 0}));
    EXPECT_EQ(text(1, "TYPE"), "10X52/10X52/НЕТ");
}

TEST_F(RecordImport, ZeroRecordsAddNothingInEitherMode) {
    const std::vector<std::uint8_t> empty = {0, 0};
    EXPECT_EQ(run(empty, ImportMode::Create).added, 0u);
    EXPECT_EQ(run(empty, ImportMode::Append).added, 0u);
    EXPECT_EQ(table_.rowCount(), 0u);
    EXPECT_EQ(run(std::vector<std::uint8_t>{}, ImportMode::Create).added, 0u);
}

TEST_F(RecordImport, AppendToEmptyTableTakesEveryRecord) {
    const auto result = run(minuteRecords(3), ImportMode::Append);
    EXPECT_EQ(result.added, 3u);
    EXPECT_EQ(result.skipped, 0u);
    EXPECT_EQ(rowNumbers(), (std::vector<long long>{1, 2, 3}));
}

TEST_F(RecordImport, AppendSkipsUpToTheLastRowsMomentInclusive) {
    const auto all = minuteRecords(120);
    run(std::vector(all.begin(), all.begin() + 100), ImportMode::Create);

    const auto result = run(all, ImportMode::Append);
    EXPECT_EQ(result.skipped, 100u);  // record 100 equals the last row: already present
    EXPECT_EQ(result.added, 20u);
    const auto numbers = rowNumbers();
    ASSERT_EQ(numbers.size(), 120u);
    EXPECT_EQ(numbers[100], 101);
    EXPECT_EQ(numbers[119], 120);
    EXPECT_EQ(text(100, "TIME"), "01:40:00");

    EXPECT_EQ(run(all, ImportMode::Append).added, 0u);  // the same memory once more
    EXPECT_EQ(table_.rowCount(), 120u);
}

TEST_F(RecordImport, AppendTakesEverythingAfterTheFirstNewerRecord) {
    run(std::vector{recordAtMinute(10)}, ImportMode::Create);
    const auto records = std::vector{recordAtMinute(1), recordAtMinute(2), recordAtMinute(10),
                                     recordAtMinute(11), recordAtMinute(5)};
    const auto result = run(records, ImportMode::Append);
    EXPECT_EQ(result.skipped, 3u);
    EXPECT_EQ(result.added, 2u);
    EXPECT_EQ(rowNumbers(), (std::vector<long long>{1, 4, 5}));
    EXPECT_EQ(text(2, "TIME"), "00:05:00");  // older again, added all the same
}

TEST_F(RecordImport, AppendWithNothingNewerAddsNothing) {
    run(std::vector{recordAtMinute(30)}, ImportMode::Create);
    const auto result = run(minuteRecords(31), ImportMode::Append);
    EXPECT_EQ(result.skipped, 31u);
    EXPECT_EQ(result.added, 0u);
    EXPECT_EQ(table_.rowCount(), 1u);
}

TEST_F(RecordImport, BadDateStopsTheImportAndKeepsEarlierRows) {
    auto records = minuteRecords(4);
    records[2].day = 31;
    records[2].month = 4;
    records[2].hour = 12;
    records[2].minute = 15;
    records[2].second = 30;
    try {
        run(records, ImportMode::Create);
        FAIL() << "31.04.2009 imported";
    } catch (const ImportStoppedError& error) {
        EXPECT_STREQ(error.what(),
                     "'31.04.2009 12:15:30' is not a valid date and time\n"
                     "Импорт остановлен на записи № 3 (31.04.2009 12:15:30). "
                     "Сохранено записей до неё: 2.");
        EXPECT_EQ(error.recordNumber(), 3u);
        EXPECT_EQ(error.rowsKept(), 2u);
    }
    EXPECT_EQ(rowNumbers(), (std::vector<long long>{1, 2}));
}

TEST_F(RecordImport, AppendFailsOnAnUnreadableLastRow) {
    run(minuteRecords(1), ImportMode::Create);
    auto row = table_.read(table_.recordAt(0));
    row.setText(fields_.date, "29.02.2009");
    table_.update(table_.recordAt(0), row);
    EXPECT_THROW(run(minuteRecords(3), ImportMode::Append), InvalidDateTimeError);
    EXPECT_EQ(table_.rowCount(), 1u);
}

TEST_F(RecordImport, UnknownSensorCodeFailsBeforeAnyRow) {
    info_.sensorCodes = {1, 7, 0};
    try {
        run(minuteRecords(3), ImportMode::Create);
        FAIL() << "sensor code 7 accepted";
    } catch (const RangeCheckError& error) {
        EXPECT_STREQ(error.what(), "Range check error");
    }
    EXPECT_EQ(table_.rowCount(), 0u);
}

TEST_F(RecordImport, CountBeyondTheArrivedBytesImportsOnlyWholeRecords) {
    auto image = buildImage(minuteRecords(3), 3854);
    image.resize(image.size() + 16, 0xEE);  // a partial fourth record
    EXPECT_EQ(imageRecordCount(image), 3u);
    EXPECT_EQ(run(image, ImportMode::Create).added, 3u);
    EXPECT_EQ(rowNumbers(), (std::vector<long long>{1, 2, 3}));

    EXPECT_EQ(imageRecordCount(std::vector<std::uint8_t>{5}), 0u);
    EXPECT_EQ(imageRecordCount(buildImage(minuteRecords(3), 2)), 2u);  // the count still rules
}

TEST_F(RecordImport, ShortImageIsImportedWithAWarningNamingBothCounts) {
    const auto image = buildImage(minuteRecords(3), 5);
    EXPECT_EQ(shortImageWarning(image),
              "Прибор сообщил о 5 записях, а получено только 3. Импортированы полученные записи.");
    EXPECT_EQ(shortImageWarning(buildImage(minuteRecords(3))), "");
    EXPECT_EQ(shortImageWarning(buildImage(minuteRecords(3), 2)), "");
}

TEST_F(RecordImport, TwoDigitYearOfTheLastRowIsThisCentury) {
    run(std::vector{recordAtMinute(10)}, ImportMode::Create);
    auto row = table_.read(table_.recordAt(0));
    row.setText(fields_.date, "01.01.09");  // as other programs write it
    table_.update(table_.recordAt(0), row);
    const auto result = run(std::vector{recordAtMinute(9), recordAtMinute(10), recordAtMinute(11)},
                            ImportMode::Append);
    EXPECT_EQ(result.skipped, 2u);
    EXPECT_EQ(result.added, 1u);
    EXPECT_EQ(text(1, "TIME"), "00:11:00");
}

TEST_F(RecordImport, TableWithoutCyrillicIsRefusedBeforeAnyRow) {
    table_.close();
    zond::measurement::createMeasurementTable(path_, 0x57);  // code page 1252
    fields_ = zond::measurement::openMeasurementTable(table_, path_);
    const auto before = zond::testing::readBytes(path_);
    try {
        run(minuteRecords(3), ImportMode::Create);
        FAIL() << "Cyrillic written into a code page 1252 table";
    } catch (const zond::dbf::DbfError& error) {
        EXPECT_STREQ(error.what(),
                     "Таблица записана в кодовой странице 1252, в которой нельзя сохранить текст "
                     "\"Оперативный\". Записи не добавлены.");
    }
    EXPECT_EQ(zond::testing::readBytes(path_), before);
}

TEST_F(RecordImport, ClosedTableIsLeftAlone) {
    table_.close();
    const auto result = run(minuteRecords(3), ImportMode::Create);
    EXPECT_EQ(result.added, 0u);
    table_.open(path_);
    EXPECT_EQ(table_.rowCount(), 0u);
}

TEST_F(RecordImport, ProgressSeesEveryBatchAndCanStop) {
    std::vector<std::size_t> seen;
    const auto result = run(buildImage(minuteRecords(150)), ImportMode::Create,
                            [&](std::size_t done, std::size_t total) {
                                EXPECT_EQ(total, 150u);
                                seen.push_back(done);
                                return done < 100;
                            });
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.added, 128u);
    EXPECT_EQ(seen, (std::vector<std::size_t>{64, 128}));
    EXPECT_EQ(table_.rowCount(), 128u);
    EXPECT_EQ(integer(127, "N"), 128);
}
