// The main dialog's reactions, over a window that writes down what it is
// asked to show and answers message boxes and the folder browser as told.
#include "ui/main_dlg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/temp_dir.h"
#include "engine/texts.h"
#include "support/memory_payloads.h"

namespace {

using testing_support::Sjis;
using Strings = std::vector<std::string>;

class FakeMainView : public IMainView {
public:
    void SetCaption(const CString& text) override { Record("caption " + text); }
    void ShowGameFolder(const CString& folder) override { Record("folder " + folder); }
    void SetProgressRange(int maximum) override { Record("range " + std::to_string(maximum)); }
    void SetProgressPos(int position) override { Record("pos " + std::to_string(position)); }
    void EnableRun(bool enable) override {
        std::lock_guard<std::mutex> lock(mutex_);
        runEnabled_ = enable;
        events_.push_back(enable ? "run on" : "run off");
    }
    bool IsRunEnabled() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return runEnabled_;
    }
    int ShowMessage(const CString& text, const CString& caption, unsigned style,
                    bool owned) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back("box " + caption + "|" + text);
        boxes_.push_back({caption + "|" + text, style, owned});
        return boxAnswer_;
    }
    void PostPatchMessage(int code, int value) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.emplace_back(code, value);
        }
        posted_.notify_one();
    }
    void EndDialog(int result) override { Record("end " + std::to_string(result)); }
    int BrowseForFolder(const CString& title, const CString& initialFolder,
                        CString* chosen) override {
        Record("browse " + title + "|" + initialFolder);
        *chosen = browsePath_;
        return browseResult_;
    }
    CString ReadOwnProductName() override { return productName_; }

    // Hands posted reports to the dialog, as its thread would, until the run
    // button is enabled again; false when that takes too long.
    bool PumpUntilIdle(CMainDlg& dialog) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!IsRunEnabled()) {
            std::pair<int, int> message;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
                    return false;
                }
                message = queue_.front();
                queue_.pop_front();
            }
            dialog.OnPatchMessage(message.first, message.second);
        }
        return true;
    }

    Strings Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    void ClearEvents() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
        boxes_.clear();
    }

    struct Box {
        std::string captionAndText;
        unsigned style;
        bool owned;
    };
    std::vector<Box> Boxes() {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }

    int boxAnswer_ = kIdOk;
    int browseResult_ = kBrowseCancelled;
    CString browsePath_;
    CString productName_ = Sjis(u8"パッチプログラム");

private:
    void Record(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::pair<int, int>> queue_;
    Strings events_;
    std::vector<Box> boxes_;
    bool runEnabled_ = true;
};

class MainDlgTest : public ::testing::Test {
protected:
    // Puts the script in the payload store and starts the dialog on it.
    void InitWith(const std::string& script) {
        payloads.Add("SCRIPT", "PATCH_SCR", script);
        dialog.Engine().SetPauseMs(0);
        EXPECT_EQ(dialog.OnInitDialog(), 0);
    }
    // A registry key that nobody wrote: the game counts as not installed.
    static std::string MissingKey() {
        std::random_device random;
        return "Software\\PatchkitTest\\NoGame" + std::to_string(random());
    }
    static std::string Box(const char* caption, const std::string& text) {
        return "box " + std::string(caption) + "|" + text;
    }

    MemoryPayloads payloads;
    platform::ScopedPayloadStore use{&payloads};
    testing_support::TempDir game;
    FakeMainView view;
    CMainDlg dialog{view};
};

// ---- start-up ----

struct StartCase {
    const char* name;
    std::string script;
    Strings events;  // everything the window was asked to do
};

void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class MainDlgStartTest : public MainDlgTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(MainDlgStartTest, ShowsWhatTheScriptGives) {
    InitWith(GetParam().script);
    EXPECT_EQ(view.Events(), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, MainDlgStartTest,
    ::testing::Values(
        // No title: the template's caption "Patch" stays; no regist: the
        // folder stays empty and nothing warns.
        StartCase{"NoTitleNoRegist", " \r\ndeletebak\r\n", {"pos 0", "folder "}},
        StartCase{"TitleOnly", "title Sample\r\n", {"pos 0", "folder ", "caption Sample"}},
        // An undefined keyword: the error box, then the dialog ends with 0.
        StartCase{"UndefinedKeyword",
                  "title Sample\r\nnosuch\r\n",
                  {"pos 0", "folder ",
                   "box " + std::string(text::kCaptionError) + "|" + text::kUndefinedCommand +
                       text::kProgramEndsSuffix,
                   "end 0"}}),
    [](const ::testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

TEST_F(MainDlgTest, InitFailureBoxHasNoOwner) {
    InitWith("nosuch\r\n");
    ASSERT_EQ(view.Boxes().size(), 1u);
    EXPECT_FALSE(view.Boxes()[0].owned);
    EXPECT_EQ(view.Boxes()[0].style, kMbOk | kMbIconError);
}

// ---- closing ----

TEST_F(MainDlgTest, CloseAsksWithTheProductName) {
    InitWith("");
    view.ClearEvents();
    dialog.OnClose();
    ASSERT_EQ(view.Boxes().size(), 1u);
    const FakeMainView::Box box = view.Boxes()[0];
    EXPECT_EQ(box.captionAndText,
              Sjis(u8"パッチの終了|パッチプログラムを終了してもよろしいですか？"));
    EXPECT_EQ(box.style, kMbOkCancel);  // no icon
    EXPECT_TRUE(box.owned);

    // Whatever the version information names is what is asked about.
    view.productName_ = "Other Patch";
    view.ClearEvents();
    dialog.OnClose();
    EXPECT_EQ(view.Boxes()[0].captionAndText,
              Sjis(u8"パッチの終了|Other Patchを終了してもよろしいですか？"));
}

TEST_F(MainDlgTest, CloseEndsOnOkOnly) {
    InitWith("");
    view.boxAnswer_ = kIdCancel;
    view.ClearEvents();
    dialog.OnClose();
    EXPECT_EQ(view.Events().size(), 1u);  // the question, nothing else

    view.boxAnswer_ = kIdOk;
    view.ClearEvents();
    dialog.OnClose();
    Strings events = view.Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "end 0");
}

TEST_F(MainDlgTest, CloseIsRefusedSilentlyWhileARunIsInProgress) {
    InitWith(" \r\n");
    dialog.Engine().SetGameFolder(game.path());
    dialog.OnRun();
    // The worker has posted its end, but the dialog has not handled it yet:
    // the run is still in progress for the window.
    view.ClearEvents();
    dialog.OnClose();
    dialog.OnRun();  // a second press of the disabled button starts nothing
    EXPECT_TRUE(view.Events().empty());

    ASSERT_TRUE(view.PumpUntilIdle(dialog));
    view.ClearEvents();
    dialog.OnClose();
    EXPECT_EQ(view.Events(), (Strings{"box " + Sjis(u8"パッチの終了|パッチプログラムを終了して"
                                                    u8"もよろしいですか？"),
                                      "end 0"}));
}

// ---- abort ----

TEST_F(MainDlgTest, AbortWhileIdleShowsNothingAndDoesNotHinderTheNextRun) {
    InitWith(" \r\n");
    dialog.Engine().SetGameFolder(game.path());
    view.ClearEvents();
    dialog.OnAbort();
    EXPECT_TRUE(view.Events().empty());

    dialog.OnRun();
    ASSERT_TRUE(view.PumpUntilIdle(dialog));
    ASSERT_EQ(view.Boxes().size(), 1u);
    EXPECT_EQ(view.Boxes()[0].captionAndText,
              std::string(text::kCaptionResult) + "|" + text::kRunFinished);
}

// ---- the game folder ----

struct BrowseCase {
    const char* name;
    int result;
    std::string folderAfter;
    Strings eventsAfterBrowse;
};

void PrintTo(const BrowseCase& c, std::ostream* os) { *os << c.name; }

class MainDlgBrowseTest : public MainDlgTest, public ::testing::WithParamInterface<BrowseCase> {};

TEST_P(MainDlgBrowseTest, ReactsToTheBrowserResult) {
    InitWith("");
    dialog.Engine().SetGameFolder("C:\\Old");
    view.browseResult_ = GetParam().result;
    view.browsePath_ = "D:\\New";
    view.ClearEvents();
    dialog.OnFolder();
    Strings expected{"browse " + Sjis(u8"インストールフォルダーの選択") + "|C:\\Old"};
    for (const std::string& event : GetParam().eventsAfterBrowse) expected.push_back(event);
    EXPECT_EQ(view.Events(), expected);
    EXPECT_EQ(dialog.Engine().GetGameFolder(), GetParam().folderAfter);
    for (const FakeMainView::Box& box : view.Boxes()) {
        EXPECT_EQ(box.style, kMbOk | kMbIconInformation);
        EXPECT_TRUE(box.owned);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Results, MainDlgBrowseTest,
    ::testing::Values(
        BrowseCase{"Chosen", kBrowseChosen, "D:\\New", {"folder D:\\New"}},
        BrowseCase{"Cancelled", kBrowseCancelled, "C:\\Old", {}},
        BrowseCase{"NotAFileSystemFolder",
                   kBrowseNotFileSystem,
                   "C:\\Old",
                   {"box " + Sjis(u8"フォルダー選択エラー|正しくフォルダーが選択されていません")}}),
    [](const ::testing::TestParamInfo<BrowseCase>& info) { return std::string(info.param.name); });

TEST_F(MainDlgTest, ChoosingAFolderAfterTheNotInstalledWarningMakesARunPossible) {
    InitWith("regist " + MissingKey() + "\r\n \r\n");
    Strings events = view.Events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[2], Box(text::kCaptionNotice, text::kGameNotInstalled));

    // Without a folder the run is refused and the button comes back.
    view.ClearEvents();
    dialog.OnRun();
    EXPECT_EQ(view.Events(),
              (Strings{"run off", Box(text::kCaptionError, text::kNoInstallFolder), "run on"}));

    view.browseResult_ = kBrowseChosen;
    view.browsePath_ = game.path();
    dialog.OnFolder();
    EXPECT_EQ(view.Events().back(), "folder " + game.path());

    view.ClearEvents();
    dialog.OnRun();
    ASSERT_TRUE(view.PumpUntilIdle(dialog));
    EXPECT_EQ(view.Events(),
              (Strings{"run off", "pos 0", "range 0", Box(text::kCaptionResult, text::kRunFinished),
                       "pos 0", "run on"}));
}

}  // namespace
