#include "RunFrame.h"

#include "AppFixture.h"
#include "ProgramFolder.h"

#include "app/TForm1.h"
#include "db/DbQuery.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// The manager folders these tests make set a temporary folder of their own.
class RunFrame : public testing::Test {
protected:
    testing_support::RecordingUserInterface m_recorder;
    RecordingAppFrontEnd m_frontEnd;

private:
    platform::ScopedUserInterface m_ui{m_recorder};
};

TEST_F(RunFrame, EveryEndStepRunsAndTheFirstErrorIsShown)
{
    std::vector<std::string> steps;
    const auto fail = [&](const char *step) {
        steps.emplace_back(step);
        throw std::runtime_error(step);
    };
    const auto note = [&](const char *step) { steps.emplace_back(step); };

    EXPECT_FALSE(app::runFramed([&] { note("begin"); }, [&] { fail("work"); },
                                {[&] { fail("end 1"); }, [&] { note("end 2"); }}));
    EXPECT_EQ(steps, (std::vector<std::string>{"begin", "work", "end 1", "end 2"}));
    EXPECT_EQ(m_recorder.errors, std::vector<std::string>{"work"});

    m_recorder.errors.clear();
    EXPECT_FALSE(app::runFramed([] {}, [] {}, {[&] { fail("end 1"); }, [&] { fail("end 2"); }}));
    EXPECT_EQ(m_recorder.errors, std::vector<std::string>{"end 1"});

    m_recorder.errors.clear();
    EXPECT_FALSE(app::runFramed([] {}, [] { throw db::EAbort(); }, {}));
    EXPECT_TRUE(app::runFramed([] {}, [] {}, {}));
    EXPECT_TRUE(m_recorder.errors.empty());
}

// A duplicate check after a failed connection: the check, the commit and
// the reopening all fail; the buttons still go idle and the check's own
// error is the one the user sees.
TEST_F(RunFrame, DuplicateCheckFrameEndsIdleWhenItsOwnStepsFail)
{
    const testing_support::ProgramFolder folder;
    ASSERT_EQ(folder.failure, "");
    folder.writeManagerSettings(1, folder.native("absent.fdb").string());
    app::TForm1 form(m_frontEnd, folder.programDir());
    ASSERT_FALSE(form.FormShow());
    ASSERT_EQ(m_recorder.errors.size(), 1u);
    m_recorder.errors.clear();

    EXPECT_FALSE(form.btnDoubleBookAutorRelClick());
    EXPECT_EQ(m_frontEnd.busyChanges, (std::vector<bool>{true, false}));
    ASSERT_EQ(m_recorder.errors.size(), 1u);
    EXPECT_EQ(m_recorder.errors[0].find("Commit"), std::string::npos) << m_recorder.errors[0];
    EXPECT_TRUE(m_recorder.busyChanges.empty());
    EXPECT_TRUE(form.FormDestroy());
}

} // namespace
