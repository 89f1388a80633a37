// Progress on its way to the window: gathered so that a large copy cannot
// flood the dialog with reports, with the same sum of bytes.
#include "engine/progress_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/temp_dir.h"
#include "engine/patch_engine.h"
#include "platform/forwarding.h"
#include "support/probe_cmd.h"
#include "support/recording_view.h"
#include "wiring/patch_commands.h"

namespace {

// A clock that moves only when told to, or by a step on every reading.
class TestClock : public platform::ForwardingThreads {
public:
    TestClock() : ForwardingThreads(platform::System()) {}
    uint64_t MonotonicMs() override { return now += step; }
    std::atomic<uint64_t> now{1000000};
    std::atomic<uint64_t> step{0};
};

class ProgressGateTest : public ::testing::Test {
protected:
    TestClock clock;
    platform::ScopedThreads scoped{&clock};
    std::vector<int> passed;
    CProgressGate gate{[this](int bytes) { passed.push_back(bytes); }};
};

TEST_F(ProgressGateTest, GathersReportsWithinAnIntervalAndPassesOnTheRest) {
    struct Step {
        uint64_t at;  // ms after the start
        int bytes;    // -1: Flush
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<int> passed;
    };
    const Case cases[] = {
        {"the first report goes at once", {{0, 5}}, {5}},
        // 1 at once; 2 and 3 wait; 4 comes 30 ms after the first report
        // and takes them with it; 5 waits for the end of the work.
        {"reports within the interval wait for its end",
         {{0, 1}, {10, 2}, {29, 3}, {30, 4}, {31, 5}},
         {1, 9}},
        {"the end of a command's work passes on the rest", {{0, 1}, {5, 2}, {6, -1}}, {1, 2}},
        {"a flush with nothing gathered passes on nothing", {{0, 1}, {1, -1}, {2, -1}}, {1}},
        {"a zero report is passed on like any other", {{0, 65536}, {1, 0}, {2, -1}}, {65536, 0}},
        {"a long silence lets the next report go at once", {{0, 1}, {500, 2}}, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        passed.clear();
        CProgressGate fresh{[this](int bytes) { passed.push_back(bytes); }};
        const uint64_t start = clock.now;
        for (const Step& step : c.steps) {
            clock.now = start + step.at;
            if (step.bytes < 0) {
                fresh.Flush();
            } else {
                fresh.Add(step.bytes);
            }
        }
        EXPECT_EQ(passed, c.passed);
    }
}

TEST_F(ProgressGateTest, IntervalZeroPassesOnEveryReport) {
    gate.SetIntervalMs(0);
    for (int bytes : {1, 2, 3}) gate.Add(bytes);
    gate.Flush();
    EXPECT_EQ(passed, (std::vector<int>{1, 2, 3}));
}

TEST_F(ProgressGateTest, MoreThanAnIntCanHoldGoesOutInParts) {
    gate.Add(1);  // the first goes at once; the rest waits
    for (int i = 0; i < 3; ++i) gate.Add(INT32_MAX);
    gate.Flush();
    EXPECT_EQ(passed, (std::vector<int>{1, INT32_MAX, INT32_MAX, INT32_MAX}));
}

// The engine with its default interval, on an empty script in a game folder
// of its own; the tests add their commands.
class ProgressRunTest : public ProgressGateTest {
protected:
    void SetUp() override {
        engine.SetPauseMs(0);
        ASSERT_TRUE(engine.StartWithScript(""));
        engine.SetGameFolder(game.path());
    }

    testing_support::TempDir game;
    RecordingView view;
    CPatchEngine engine{view, PatchCommands()};
    CallLog log;
};

// A run of a large copy's reports through the engine: about one report per
// interval reaches the window, and their sum, the bar's last position and
// the order before the end code are those of the reports the commands made.
TEST_F(ProgressRunTest, ARunOfALargeCopyReachesTheWindowInFewReports) {
    const int kBlocks = 16384;  // 1 GiB in 64 KiB blocks
    auto* big = new ProbeCmd(&engine, "big", &log);
    big->size = int64_t{kBlocks} * 65536;
    big->progress.assign(kBlocks, 65536);
    auto* small = new ProbeCmd(&engine, "small", &log);
    small->size = 3;
    small->progress = {1, 2};
    std::vector<std::pair<int, int>> postedBeforeSmall;
    small->onExec = [&] { postedBeforeSmall = view.Posted(); };
    engine.Factory().Add(boost::shared_ptr<ScriptCmd>(big));
    engine.Factory().Add(boost::shared_ptr<ScriptCmd>(small));

    clock.step = 1;  // a millisecond passes at every reading: 16 s for the copy
    engine.OnRun();
    ASSERT_EQ(view.PumpUntilIdle(engine), PATCH_FINISHED);

    const std::vector<std::pair<int, int>> posted = view.Posted();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back().first, PATCH_FINISHED);
    int64_t sum = 0;
    size_t reports = 0;
    for (size_t i = 0; i + 1 < posted.size(); ++i) {
        ASSERT_EQ(posted[i].first, PATCH_PROGRESS) << i;
        sum += posted[i].second;
        ++reports;
    }
    EXPECT_EQ(sum, big->size + small->size);
    // One report per 30 readings of the clock, the first at once, and one
    // at the end of each command.
    EXPECT_LE(reports, kBlocks / 30 + 1 + 2u);
    EXPECT_GE(reports, kBlocks / 30u);
    // The big copy's bytes were all on their way before the next command
    // began.
    int64_t bigSum = 0;
    for (const auto& report : postedBeforeSmall) bigSum += report.second;
    EXPECT_EQ(bigSum, big->size);
    // The bar ends where the reports one by one would have put it.
    std::vector<std::string> events = view.Events();
    std::string lastPos;
    for (const std::string& event : events) {
        if (event.rfind("pos ", 0) == 0 && event != "pos 0") lastPos = event;
    }
    EXPECT_EQ(lastPos, "pos " + std::to_string((big->size + small->size) / 65535));
}

// A command that fails half way: what it reported reaches the window before
// the end code.
TEST_F(ProgressRunTest, AFailedCommandsReportsComeBeforeTheEndCode) {
    auto* failing = new ProbeCmd(&engine, "failing", &log);
    failing->progress = {7, 8, 9};
    failing->execFault = ProbeCmd::Fault::kMessage;
    engine.Factory().Add(boost::shared_ptr<ScriptCmd>(failing));

    engine.OnRun();
    ASSERT_EQ(view.PumpUntilIdle(engine), PATCH_ABORTED);
    // The clock stands still: the first report goes at once, the rest
    // together at the failure, then the end code.
    EXPECT_EQ(view.Posted(), (std::vector<std::pair<int, int>>{
                                 {PATCH_PROGRESS, 7}, {PATCH_PROGRESS, 17}, {PATCH_ABORTED, 0}}));
}

}  // namespace
