// CSV written by the export, byte for byte, against lines written out by hand from the dialect's
// rules: separators, decimal separator, quoting, encodings, CR LF, temperatures.
#include "export/csv_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "measurement_table_test.h"

namespace zond::exporting {
namespace {

class CsvExportTest : public testing::MeasurementTableTest {
  protected:
    void SetUp() override {
        MeasurementTableTest::SetUp();
        target_ = path_;
        target_.replace_extension(".csv");
    }
    void TearDown() override {
        std::filesystem::remove(target_);
        MeasurementTableTest::TearDown();
    }

    // Values in the table's field order: N MODE CHANNEL EN_CH DATE TIME TIME_SEC TYPE TAVIS_1..3
    // T_IN T_EXT COMMENT; an empty value stays null.
    void append(const std::vector<std::string>& values) {
        auto record = table_.blankRecord();
        for (std::size_t f = 0; f < values.size(); ++f) {
            if (!values[f].empty()) {
                record.setText(static_cast<int>(f), values[f]);
            }
        }
        table_.append(record);
    }
    void appendTwoRows() {
        append({"1", "Оперативный", "1", "3", "01.10.2008", "12:34:56", "0", "диам. 27 мм", "12.5",
                "", "-3.25", "19.8", ">320.0", "Угол; \"окно\"\nстена"});
        append({"2", "Наблюдения", "1", "3", "02.10.2008", "00:00:05", "0", "X", "1000.04", "0",
                "3", "-5,3", "", "Угол, стена"});
    }
    std::string exported(const CsvOptions& options) {
        EXPECT_EQ(exportTableToCsv(table_, target_, options), table_.liveCount());
        std::ifstream in(target_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::filesystem::path target_;
};

TEST_F(CsvExportTest, DefaultDialectIsSemicolonsDecimalCommaUtf8WithBom) {
    appendTwoRows();
    EXPECT_EQ(exported({}),
              "\xEF\xBB\xBF"
              "N;Дата;Время;Режим;Типы датчиков;q1, Вт/кв.м;q2, Вт/кв.м;q3, Вт/кв.м;tв,°C;tн,°C;"
              "Примечание\r\n"
              "1;01.10.2008;12:34:56;Оперативный;диам. 27 мм;12,5;;-3,25;19,8;>320.0;"
              "\"Угол; \"\"окно\"\"\nстена\"\r\n"
              "2;02.10.2008;00:00:05;Наблюдения;X;1000,04;0;3;-5,3;;Угол, стена\r\n");
}

TEST_F(CsvExportTest, CommasWithDecimalPointInCodePage1251) {
    appendTwoRows();
    const std::string text = exported({',', '.', CsvEncoding::Cp1251});
    const std::string heading =
        "N,\xC4\xE0\xF2\xE0,\xC2\xF0\xE5\xEC\xFF,\xD0\xE5\xE6\xE8\xEC,\xD2\xE8\xEF\xFB "
        "\xE4\xE0\xF2\xF7\xE8\xEA\xEE\xE2,\"q1, \xC2\xF2/\xEA\xE2.\xEC\",\"q2, "
        "\xC2\xF2/\xEA\xE2.\xEC\",\"q3, \xC2\xF2/\xEA\xE2.\xEC\",\"t\xE2,\xB0"
        "C\",\"t\xED,\xB0"
        "C\",\xCF\xF0\xE8\xEC\xE5\xF7\xE0\xED\xE8\xE5\r\n";
    ASSERT_TRUE(text.starts_with(heading)) << text;
    const std::string secondRow =
        "2,02.10.2008,00:00:05,\xCD\xE0\xE1\xEB\xFE\xE4\xE5\xED\xE8\xFF,X,1000.04,0,3,-5.3,,"
        "\"\xD3\xE3\xEE\xEB, \xF1\xF2\xE5\xED\xE0\"\r\n";
    EXPECT_TRUE(text.ends_with(secondRow)) << text;
}

TEST_F(CsvExportTest, TabsLeaveCommasAndSemicolonsUnquoted) {
    appendTwoRows();
    const std::string text = exported({'\t', '.', CsvEncoding::Utf8WithBom});
    EXPECT_NE(text.find("\tq1, Вт/кв.м\t"), std::string::npos);
    EXPECT_TRUE(
        text.ends_with("2\t02.10.2008\t00:00:05\tНаблюдения\tX\t1000.04\t0\t3\t-5.3\t\t"
                       "Угол, стена\r\n"));
}

TEST_F(CsvExportTest, EmptyTableGivesTheHeadingLineOnly) {
    const std::string text = exported({';', '.', CsvEncoding::Utf8WithBom});
    EXPECT_EQ(text.find("\r\n"), text.size() - 2);
}

TEST_F(CsvExportTest, DecimalSeparatorEqualToDelimiterIsRefusedBeforeWriting) {
    appendTwoRows();
    EXPECT_THROW(exportTableToCsv(table_, target_, {',', ',', CsvEncoding::Utf8WithBom}),
                 ExportError);
    EXPECT_FALSE(std::filesystem::exists(target_));
}

TEST_F(CsvExportTest, CancelLeavesTheOldFileAndNoTemporary) {
    appendTwoRows();
    { std::ofstream(target_) << "old"; }
    const auto result = exportTableToCsv(table_, target_, {},
                                         [](std::size_t done, std::size_t) { return done == 0; });
    EXPECT_FALSE(result);
    std::ifstream in(target_);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
    for (const auto& entry : std::filesystem::directory_iterator(target_.parent_path())) {
        EXPECT_FALSE(
            entry.path().filename().string().starts_with("." + target_.filename().string()))
            << entry.path();
    }
}

}  // namespace
}  // namespace zond::exporting
