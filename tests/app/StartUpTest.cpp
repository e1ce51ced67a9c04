// Two real copies of the player: the first starts and runs, second copies raise it and hand their
// files over, signals end it the orderly way, and the headless entries answer at once.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>

#include "platform/Message.h"
#include "platform/SingleInstance.h"
#include "platform/Text.h"
#include "storage/CppSQLite3DB.h"
#include "tests/app/ChildProcess.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr char kRunning[] = "Application: running";
constexpr char kRestore[] = "MainDlg: 6025 (0, 24): restore and come to the front";
constexpr char kFront[] = "MainDlg: come to the front";
constexpr char kHandOff[] = "MainDlg: 5032 (0, 0)";

// Runs a second copy with `args` to its end; it must end with code 0.
void RunSecondCopy(const std::vector<std::string>& args) {
    ChildProcess second;
    ASSERT_TRUE(second.Start("loxanradio", args));
    ASSERT_TRUE(second.WaitExit()) << second.Output();
    EXPECT_EQ(second.ExitCode(), 0) << second.Output();
    EXPECT_EQ(second.Count(kRunning), 0u);
}

}  // namespace

TEST(StartUp, FirstCopyCreatesItsFolderAndHandsItsFilesToItself) {
    // Missing parents of the user data folder are created too.
    const std::string base = testsupport::TempRoot() + "/fresh/app data";
    ChildProcess first;
    ASSERT_TRUE(first.Start("loxanradio", {"/音乐/洛 新.mp3", "b.mp3"}, {"APPDATA=" + base}));
    ASSERT_TRUE(first.WaitForOutput(kRunning)) << first.Output();
    EXPECT_TRUE(std::filesystem::is_directory(base + "/LoxanRadio"));

    ASSERT_TRUE(first.WaitForOutput("MainDlg: 5032 path: b.mp3")) << first.Output();
    EXPECT_EQ(first.Count(kHandOff + std::string(": 2 path(s)")), 1u);
    EXPECT_EQ(first.Count("MainDlg: 5032 path: /音乐/洛 新.mp3\n"), 1u);
    ASSERT_TRUE(first.WaitForOutput("MainDlg: late initialisation"));

    first.Kill(SIGTERM);
    ASSERT_TRUE(first.WaitExit()) << first.Output();
    EXPECT_EQ(first.ExitCode(), 0);
    const std::string out = first.Output();
    const size_t exit = out.find("MainDlg: exit");
    const size_t torn = out.find("Application: torn down");
    ASSERT_NE(exit, std::string::npos) << out;
    ASSERT_NE(torn, std::string::npos) << out;
    EXPECT_LT(exit, torn);

    // The settings saved at exit reached the database before the process ended.
    CppSQLite3DB db;
    db.Open(Utf8ToUtf16(base + "/LoxanRadio/LXRadio.db"));
    EXPECT_EQ(db.QueryScalar(u"select count(*) from config;"), 43);
}

TEST(StartUp, SecondCopiesRaiseTheFirstAndHandOverLongEnoughArguments) {
    ChildProcess first;
    ASSERT_TRUE(first.Start("loxanradio", {}));
    ASSERT_TRUE(first.WaitForOutput(kRunning)) << first.Output();
    EXPECT_EQ(first.Count(kHandOff), 0u);  // nothing of its own to hand over

    // Without arguments: only raised.
    RunSecondCopy({});
    ASSERT_TRUE(first.WaitForOutput(kRestore, 1)) << first.Output();
    ASSERT_TRUE(first.WaitForOutput(kFront, 1));
    // One argument of 4 characters is 5 with its quote: not handed over.
    RunSecondCopy({"abcd"});
    ASSERT_TRUE(first.WaitForOutput(kRestore, 2));
    // More than 259 characters: not handed over at all.
    RunSecondCopy({std::string(200, 'x'), std::string(60, 'y')});
    ASSERT_TRUE(first.WaitForOutput(kRestore, 3));
    // One argument of 5 characters: handed over. Posts of one copy arrive in order, and each
    // copy's posts before the next copy's, so no earlier copy handed anything over.
    RunSecondCopy({"abcde"});
    ASSERT_TRUE(first.WaitForOutput("MainDlg: 5032 path: abcde\n")) << first.Output();
    EXPECT_EQ(first.Count(kHandOff), 1u);
    // Two paths with blanks and Chinese, in order.
    RunSecondCopy({"/音乐/洛 新.mp3", "/tmp/b c.mp3"});
    ASSERT_TRUE(first.WaitForOutput(kHandOff, 2));
    ASSERT_TRUE(first.WaitForOutput("MainDlg: 5032 path: /tmp/b c.mp3\n"));
    const std::string out = first.Output();
    EXPECT_LT(out.find("MainDlg: 5032 path: /音乐/洛 新.mp3\n"), out.find("MainDlg: 5032 path: /tmp/b c.mp3\n"));
    EXPECT_EQ(first.Count(kRestore), 5u);
    EXPECT_EQ(first.Count(kFront), 5u);
    EXPECT_EQ(first.Count("xxxxx"), 0u);

    first.Kill(SIGINT);
    ASSERT_TRUE(first.WaitExit()) << first.Output();
    EXPECT_EQ(first.ExitCode(), 0);
    EXPECT_EQ(first.Count("Application: torn down"), 1u);
}

TEST(StartUp, SecondCopyWithoutAFirstWindowEndsAtOnce) {
    // A copy that holds the lock but has no window (still starting, or hung before it).
    const SingleInstance held(u"LoxanRadioSingleEven");
    ASSERT_TRUE(held.IsValid());
    const std::string appdata = testsupport::TempRoot() + "/untouched";
    ChildProcess second;
    ASSERT_TRUE(second.Start("loxanradio", {"song.mp3"}, {"APPDATA=" + appdata}));
    ASSERT_TRUE(second.WaitExit()) << second.Output();
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(second.Count(kRunning), 0u);
    EXPECT_EQ(FindWindow(u"洛新收音机"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(appdata));
}

TEST(StartUp, RefusesToRunInABadEnvironment) {
    struct Case {
        std::vector<std::string> env;
        const char* message;
    } cases[] = {
        {{"APPDATA", "XDG_DATA_HOME", "HOME"}, "set APPDATA, XDG_DATA_HOME or HOME"},
        {{"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}, "no display (DISPLAY or WAYLAND_DISPLAY is not set)"},
    };
    for (const Case& c : cases) {
        ChildProcess first;
        ASSERT_TRUE(first.Start("loxanradio", {"song.mp3"}, c.env));
        ASSERT_TRUE(first.WaitExit()) << first.Output();
        EXPECT_EQ(first.ExitCode(), 1);
        EXPECT_NE(first.Output().find(c.message), std::string::npos) << first.Output();
        EXPECT_EQ(first.Count(kRunning), 0u);
    }
}

TEST(StartUp, HeadlessEntries) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* expected;
    } cases[] = {
        {{"--version"}, 0, "loxanradio " LOXANRADIO_VERSION "\n"},
        {{"--help"}, 0, "  --version"},
        {{"--help"}, 0, "Usage: loxanradio [FILE...]"},
        {{"--no-such-option"}, 2, "unknown option --no-such-option"},
    };
    for (const Case& c : cases) {
        ChildProcess p;
        ASSERT_TRUE(p.Start("loxanradio", c.args));
        ASSERT_TRUE(p.WaitExit());
        EXPECT_EQ(p.ExitCode(), c.code) << c.args[0];
        EXPECT_NE(p.Output().find(c.expected), std::string::npos) << p.Output();
        EXPECT_EQ(p.Count(kRunning), 0u);
    }
}
