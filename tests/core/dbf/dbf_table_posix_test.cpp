// What only POSIX systems can show about an open table: full disks made with a file-size limit,
// another process, and programs that lock with flock or POSIX record locks.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "dbf/dbf_table.h"
#include "dbf/locked_file.h"
#include "dbf/pending_table.h"
#include "measurement/measurement_schema.h"
#include "open_table_fixture.h"

namespace zond::dbf {
namespace {

using testing::OpenTableTest;
using testing::readBytes;

// Runs `code` in a child process and returns its exit status.
template <typename Code>
int inChild(Code code) {
    const pid_t child = fork();
    if (child == 0) {
        _exit(code());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// Limits the size of the files a child process may write, so that writes fail as on a full disk.
void limitFileSize(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST_F(OpenTableTest, FailedAppendPutsTheCountBack) {
    for (int i = 1; i <= 3; ++i) {
        add(i, i);
    }
    const auto before = readBytes(path_);
    const int status = inChild([&] {
        limitFileSize(before.size());
        try {
            add(4, 4.0);
            return 1;
        } catch (const DbfError& error) {
            if (std::string(error.what()) != "Error while writing occurred. (Disk full?)") {
                return 2;
            }
        }
        return table_.recordCount() == 3 && table_.rowCount() == 3 ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readBytes(path_), before);
}

TEST_F(OpenTableTest, FailedPackLeavesTheTableIntactAndOpen) {
    for (int i = 1; i <= 40; ++i) {
        add(i, i);
    }
    table_.markDeleted(1);
    const auto before = readBytes(path_);
    const int status = inChild([&] {
        limitFileSize(2000);  // the packed copy stops half way
        try {
            table_.pack();
            return 1;
        } catch (const DbfError& error) {
            if (std::string(error.what()) != "Error while writing occurred. (Disk full?)") {
                return 2;
            }
        }
        return table_.isOpen() && table_.liveCount() == 39 && table_.read(40).asInteger(n_) == 40
                   ? 0
                   : 3;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readBytes(path_), before);
    EXPECT_FALSE(std::filesystem::exists(file("data_1.db")));
}

TEST_F(OpenTableTest, NobodyElseOpensATableWhileItIsOpen) {
    add(1, 1.0);
    const auto tryOpen = [this] {
        DbfTable other;
        try {
            other.open(path_);
            return 1;
        } catch (const DbfError& error) {
            return std::string(error.what()) ==
                           "Open: file is in use by another program: \"" + path_.string() + "\"."
                       ? 0
                       : 2;
        }
    };
    EXPECT_EQ(tryOpen(), 0) << "same process";
    EXPECT_EQ(inChild(tryOpen), 0) << "another process";

    // Programs that lock with flock or with POSIX record locks are kept out as well.
    const std::string python = ZOND_PYTHON;
    const std::string probe =
        python +
        " -c \"import fcntl,sys\nf=open(sys.argv[2],'r+b')\ntry:\n"
        " getattr(fcntl,sys.argv[1])(f,fcntl.LOCK_EX|fcntl.LOCK_NB)\nexcept OSError:\n"
        " sys.exit(7)\" ";
    EXPECT_EQ(WEXITSTATUS(std::system((probe + "flock '" + path_.string() + "'").c_str())), 7);
    EXPECT_EQ(WEXITSTATUS(std::system((probe + "lockf '" + path_.string() + "'").c_str())), 7);
    EXPECT_THROW(DbfTable::create(path_, measurement::measurementFields(), 0xC9), DbfError);
    EXPECT_EQ(readBytes(path_).size(), 482U + 228U);

    table_.close();
    EXPECT_EQ(inChild(tryOpen), 1) << "after close";
    EXPECT_EQ(WEXITSTATUS(std::system((probe + "lockf '" + path_.string() + "'").c_str())), 0);
}

// Two deletions at once: the second opened the table just before the first renamed its packed
// copy over it. The second must work on the table the name holds afterwards, or the first
// deletion is lost.
TEST_F(OpenTableTest, DeletionThatOpenedTheOldFileBeforeAnotherReplacedItLosesNothing) {
    for (int i = 1; i <= 5; ++i) {
        add(i, i);
    }
    table_.close();
    const auto deleteRowWithN = [&](long long n) {
        DbfTable table;
        table.open(path_);
        for (std::size_t row = 0; row < table.rowCount(); ++row) {
            if (table.read(table.recordAt(row)).asInteger(n_) == n) {
                const std::vector<std::uint32_t> records{table.recordAt(row)};
                table.removeRecords(records);
                break;
            }
        }
        table.close();
    };
    bool raced = false;
    setBetweenOpenAndLockForTests([&] {
        if (!raced) {
            raced = true;
            deleteRowWithN(2);  // the other writer, finished while ours waits for the lock
        }
    });
    deleteRowWithN(4);
    setBetweenOpenAndLockForTests({});
    ASSERT_TRUE(raced);

    table_.open(path_);
    EXPECT_EQ(walk(), (std::vector<long long>{1, 3, 5}));
}

// A deletion killed while packing left its full-size copy beside the table; the next deletion
// removes it, and keeps a copy that a running deletion still holds.
TEST_F(OpenTableTest, CopyLeftByAKilledDeletionIsRemovedByTheNextOne) {
    for (int i = 1; i <= 3; ++i) {
        add(i, i);
    }
    const auto prefix = partialNamePrefix(path_);
    const auto abandoned = file(prefix + "99999-1.tmp");
    const auto held = file(prefix + "99998-1.tmp");
    testing::writeBytes(abandoned, readBytes(path_));
    testing::writeBytes(held, readBytes(path_));
    LockedFile running;
    ASSERT_EQ(running.open(held, false), LockedFile::Status::Ok);

    const std::vector<std::uint32_t> first{table_.recordAt(0)};
    table_.removeRecords(first);
    EXPECT_FALSE(std::filesystem::exists(abandoned));
    EXPECT_TRUE(std::filesystem::exists(held));
    EXPECT_EQ(walk(), (std::vector<long long>{2, 3}));
}

}  // namespace
}  // namespace zond::dbf
