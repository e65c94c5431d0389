#include "reconcile/Run.h"

#include "RunFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using reconcile::PassProgress;

TEST(PassProgress, RoundsHalfToEvenOverBothPasses)
{
    // 4 book rows: 12.5 shows 12, 37.5 shows 38.
    EXPECT_EQ((std::vector<int>{PassProgress(1, 4, 0), PassProgress(2, 4, 0), PassProgress(3, 4, 0),
                                PassProgress(4, 4, 0)}),
              (std::vector<int>{12, 25, 38, 50}));
    EXPECT_EQ(PassProgress(1, 4, 50), 62);
    EXPECT_EQ(PassProgress(3, 4, 50), 88);
    EXPECT_EQ(PassProgress(1, 3, 0), 17);
}

TEST(PassProgress, MoreFilesThanRowsGoesBeyondTheHalfForTheCallerToClamp)
{
    EXPECT_GT(PassProgress(9, 4, 50), 100);
    EXPECT_EQ(PassProgress(2'000'000'000, 1, 50), 1050);
}

TEST(PassProgress, NoBookRowsCountsThePassAsComplete)
{
    EXPECT_EQ(PassProgress(0, 0, 0), 50);
    EXPECT_EQ(PassProgress(7, 0, 50), 100);
}

TEST(RunHeaderTime, LeavesTheTimeOutAtMidnight)
{
    platform::setLocaleFormats({"dd.MM.yyyy", "H:mm:ss", ','});
    EXPECT_EQ(reconcile::RunHeaderTime({2026, 3, 7, 0, 0, 0, 0}), "07.03.2026");
    EXPECT_EQ(reconcile::RunHeaderTime({2026, 3, 7, 0, 0, 1, 0}), "07.03.2026 0:00:01");
    EXPECT_EQ(reconcile::RunHeaderTime({2026, 3, 7, 14, 5, 9, 0}), "07.03.2026 14:05:09");
}

class RunSeam : public reconcile_test::RunFixture {};

TEST_F(RunSeam, HeaderAndProgressReachTheFrontEnd)
{
    reconcile::Run current = run();
    current.RunHeader("Title");
    current.SetProgress(137);
    current.SetProgress(-3);
    current.ProcessEvents();
    EXPECT_EQ(m_frontEnd.lines, (std::vector<std::string>{"", "Title", "10.12.2026 14:05:09"}));
    EXPECT_EQ(m_frontEnd.progress, (std::vector<int>{100, 0}));
    EXPECT_EQ(m_ui.eventPumps, 1);
}

// A long single call keeps the window alive and reports its failure here.
TEST_F(RunSeam, EventsGoOnDuringALongCallAndItsErrorComesBack)
{
    reconcile::Run current = run();
    current.ProcessEventsDuring([] { std::this_thread::sleep_for(std::chrono::milliseconds(80)); });
    EXPECT_GE(m_ui.eventPumps, 3);

    EXPECT_THROW(current.ProcessEventsDuring([] { throw std::runtime_error("count failed"); }),
                 std::runtime_error);
}

TEST_F(RunSeam, ComponentsReadTheCatalogueUnderTheProgramsNames)
{
    addBook(1, "a.zip");
    addBook(2, "б\\в.zip");
    openBooks();
    EXPECT_EQ(m_components.DbDataSet1.ServerRecordCount(), 2);
    EXPECT_EQ(m_components.DbDataSet1.FieldCount(), 39);
    EXPECT_EQ(db::FullComponentName(&m_components.DbQuery1), "Form1.DbQuery1");
    EXPECT_EQ(count("select count(*) from BOOK where FILENAME = '" +
                    reconcile_test::ansi("б\\в.zip") + "'"),
              1);
}

} // namespace
