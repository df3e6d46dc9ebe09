// The error log: line format, daily file names, the second-instance suffix
// and appends from several threads.
#include "support/LogFile.h"
#include "support/Exception.h"
#include "support/SystemTools.h"
#include "testlib/TestUtil.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace linkvane {
namespace {

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetLogDir(m_dir.Path() + "/Log"); }
    void TearDown() override {
        SetLogDir("");
        SetProgramDir("");
    }
    std::string TodaysFile() const { return LogFileName(std::time(nullptr)); }

    test::TempDir m_dir;
};

TEST_F(LogFileTest, LineHasPaddedStampMarkerAndMessage) {
    EXPECT_EQ(FormatLogLine(LocalTime(2024, 1, 31, 9, 5, 7), "Bad thing"),
              "24-01-31 09:05:07   Error!!   Bad thing");
    EXPECT_EQ(FormatLogLine(LocalTime(2009, 12, 1, 23, 59, 59), ""),
              "09-12-01 23:59:59   Error!!   ");
}

TEST_F(LogFileTest, FileIsNamedAfterTheDay) {
    EXPECT_EQ(LogFileName(LocalTime(2024, 1, 31, 12, 0, 0)),
              m_dir.Path() + "/Log/Run2024_01_31.txt");
    EXPECT_EQ(LogFileName(LocalTime(2024, 2, 1, 0, 0, 1)), m_dir.Path() + "/Log/Run2024_02_01.txt");
}

TEST_F(LogFileTest, AppendsCrLfLines) {
    LogError("first");
    LogError("second");
    const std::string text = test::ReadFileBytes(TodaysFile());
    const std::string suffix = "   Error!!   first\r\n";
    ASSERT_EQ(text.size(), 2 * (20 + 10) + std::string("first\r\nsecond\r\n").size());
    EXPECT_EQ(text.substr(17, suffix.size()), suffix);
    EXPECT_EQ(text.substr(text.size() - 8), "second\r\n");
}

TEST_F(LogFileTest, DefaultFolderIsBelowTheProgramFolder) {
    SetLogDir("");
    SetProgramDir(m_dir.Path() + "/deep/prog");
    EXPECT_EQ(LogDir(), m_dir.Path() + "/deep/prog/Log/");
    LogError("made the folders");
    EXPECT_TRUE(std::filesystem::exists(TodaysFile()));
    EXPECT_EQ(TodaysFile().rfind(m_dir.Path() + "/deep/prog/Log/Run", 0), 0u);
}

TEST_F(LogFileTest, SecondInstanceAddsProcessId) {
    // Another running instance holds the marker of this folder.
    std::filesystem::create_directories(m_dir.Path() + "/Log");
    const std::string marker = m_dir.Path() + "/Log/" + LogLockFileName;
    const int other = ::open(marker.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);

    EXPECT_FALSE(IsFirstLogInstance());
    EXPECT_EQ(LogFileName(LocalTime(2024, 1, 31, 12, 0, 0)),
              m_dir.Path() + "/Log/Run2024_01_31_" + std::to_string(::getpid()) + ".txt");
    LogError("from the second instance");
    EXPECT_TRUE(std::filesystem::exists(TodaysFile()));
    ::close(other);
}

TEST_F(LogFileTest, FirstInstanceHoldsTheMarker) {
    EXPECT_TRUE(IsFirstLogInstance());
    const std::string marker = m_dir.Path() + "/Log/" + LogLockFileName;
    const int other = ::open(marker.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << "a second instance could take the marker";
    ::close(other);
}

TEST_F(LogFileTest, UnwritableFolderRaises) {
    // A file where a folder should be: no process, root included, can write.
    const std::string blocker = m_dir.Write("blocker", "x");
    SetLogDir(blocker + "/Log");
    try {
        LogError("lost");
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind("Unable to write to " + blocker + "/Log/Run", 0), 0u)
            << e.Message();
    }
    // The lock was released: the next append works.
    SetLogDir(m_dir.Path() + "/Log");
    LogError("kept");
    EXPECT_TRUE(std::filesystem::exists(TodaysFile()));
}

TEST_F(LogFileTest, ConcurrentAppendsKeepWholeLines) {
    constexpr int threads = 4;
    constexpr int perThread = 100;
    const std::string message(200, 'm');
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < perThread; ++i) {
                LogError(message);
            }
        });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    const std::string text = test::ReadFileBytes(TodaysFile());
    const size_t lineLength = 30 + message.size() + 2;
    ASSERT_EQ(text.size(), lineLength * threads * perThread);
    for (size_t at = 0; at < text.size(); at += lineLength) {
        ASSERT_EQ(text.substr(at + 30, message.size() + 2), message + "\r\n") << "line at " << at;
    }
}

} // namespace
} // namespace linkvane
