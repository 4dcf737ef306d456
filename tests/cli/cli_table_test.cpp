// zond8t-cli create, info and show, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "dbf/dbf_table.h"
#include "dbf_test_files.h"
#include "measurement/measurement_schema.h"

namespace {

struct CliRun {
    int status = -1;
    std::string output;  // stdout and stderr together
};

CliRun runCli(const std::string& arguments) {
    CliRun run;
    FILE* pipe = popen((std::string(ZOND_CLI) + " " + arguments + " 2>&1").c_str(), "r");
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        run.output.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class CliTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("zond-cli-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        path_ = folder_ / "demo.db";
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
    std::filesystem::path path_;
};

TEST_F(CliTableTest, ShowPrintsLiveRowsAsTabSeparatedText) {
    ASSERT_EQ(runCli("create " + path_.string()).status, 0);
    {
        zond::dbf::DbfTable table;
        const auto f = zond::measurement::openMeasurementTable(table, path_);
        auto row = table.blankRecord();
        row.setInteger(f.n, 1);
        row.setText(f.mode, "Оперативный");
        row.setInteger(f.channel, 2);
        row.setText(f.date, "05.03.2009");
        row.setDouble(f.tavis1, 0.1);
        row.setDouble(f.tavis3, -3.25);
        row.setText(f.tIn, ">320.0");
        row.setText(f.comment, "стена");
        table.append(row);
        row.setInteger(f.n, 2);
        table.markDeleted(table.append(row));
        row = table.blankRecord();
        row.setInteger(f.n, 3);
        row.setDouble(f.tavis1, 12345678.123456789);
        row.setDouble(f.tavis2, 0.0);
        row.setDouble(f.tavis3, 1e-9);
        table.append(row);
    }
    const CliRun show = runCli("show " + path_.string());
    EXPECT_EQ(show.status, 0);
    EXPECT_EQ(show.output,
              "N\tMODE\tCHANNEL\tEN_CH\tDATE\tTIME\tTIME_SEC\tTYPE\tTAVIS_1\tTAVIS_2\tTAVIS_3\t"
              "T_IN\tT_EXT\tCOMMENT\n"
              "1\tОперативный\t2\t\t05.03.2009\t\t\t\t0.1\t\t-3.25\t>320.0\t\tстена\n"
              "3\t\t\t\t\t\t\t\t12345678.12345679\t0\t0.000000001\t\t\t\n");

    const CliRun info = runCli("info " + path_.string());
    EXPECT_EQ(info.status, 0);
    for (const char* line :
         {"records: 3\n", "live records: 2\n", "header length: 481\n", "record length: 228\n",
          "language ID: 0xC9 (code page 1251)\n", "version: 0x03 (dBase IV)\n", "fields: 14\n"}) {
        EXPECT_NE(info.output.find(line), std::string::npos) << line;
    }
    EXPECT_NE(info.output.find("  9    TAVIS_1    N       18        9    112  floating-point\n"),
              std::string::npos);
}

TEST_F(CliTableTest, BadUseEndsWithOneLineAndAnError) {
    for (const std::string args :
         {"show", "show a.db b.db", "info --bogus x.db", "create", "nonsense"}) {
        const CliRun run = runCli(args);
        EXPECT_NE(run.status, 0) << args;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
    }
    const CliRun missing = runCli("show " + (folder_ / "none.db").string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "zond8t-cli show: Open: file not found: \"" +
                                  (folder_ / "none.db").string() + "\".\n");
    for (const char* command : {"create", "info", "show"}) {
        const CliRun help = runCli(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_TRUE(help.output.starts_with("usage: zond8t-cli " + std::string(command)));
    }
}

TEST_F(CliTableTest, ATableHeldOpenCannotBeShown) {
    ASSERT_EQ(runCli("create " + path_.string()).status, 0);
    zond::dbf::DbfTable table;
    table.open(path_);
    const CliRun show = runCli("show " + path_.string());
    EXPECT_EQ(show.status, 1);
    EXPECT_NE(show.output.find("in use"), std::string::npos) << show.output;
}

TEST_F(CliTableTest, LookingAtAForeignTableChangesNoByte) {
    const auto foxPro = folder_ / "fox.dbf";
    const auto bytes = zond::testing::foxProTable(3);  // a wrong count, byte 28 = 0x03
    zond::testing::writeBytes(foxPro, bytes);
    const CliRun info = runCli("info " + foxPro.string());
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_EQ(runCli("show " + foxPro.string()).status, 0);
    EXPECT_EQ(zond::testing::readBytes(foxPro), bytes);
}

}  // namespace
