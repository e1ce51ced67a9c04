// Shared memory of exact sizes, the single-instance lock, crash reports written by a crashing
// child process, and the version stamp read back from a program file.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/CrashHandler.h"
#include "platform/Paths.h"
#include "platform/SharedMemory.h"
#include "platform/SingleInstance.h"
#include "platform/Text.h"
#include "platform/Version.h"
#include "tests/support/TestSupport.h"

namespace {

uintmax_t ShmFileSize(std::u16string_view name) {
    std::error_code ec;
    const uintmax_t n = std::filesystem::file_size("/dev/shm" + SharedMemory::NativeName(name), ec);
    return ec ? 0 : n;
}

// Runs `body` in a forked child and returns its wait status.
template <class F>
int InChild(F body) {
    const pid_t pid = fork();
    if (pid == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

}  // namespace

TEST(SharedMemory, ExactSizesCreateOpenAndAlreadyExists) {
    const std::u16string name = u"LoxanRadioMappingFile";
    SharedMemory probe;
    EXPECT_FALSE(probe.Open(name, 520));

    SharedMemory first;
    ASSERT_TRUE(first.Create(name, 520));
    EXPECT_FALSE(first.AlreadyExisted());
    EXPECT_EQ(first.size(), 520u);
    EXPECT_EQ(ShmFileSize(name), 520u);
    const auto* bytes = static_cast<const unsigned char*>(first.data());
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[519], 0);
    std::memcpy(first.data(), u"a\"", 6);

    SharedMemory second;
    ASSERT_TRUE(second.Create(name, 520));
    EXPECT_TRUE(second.AlreadyExisted());
    EXPECT_EQ(std::memcmp(second.data(), u"a\"", 6), 0);

    SharedMemory reader;
    EXPECT_FALSE(reader.Open(name, 521));  // never mapped past the block
    ASSERT_TRUE(reader.Open(name, 520));
    EXPECT_EQ(std::memcmp(reader.data(), u"a\"", 6), 0);

    // The exchange block of another size, under its "Local\" name.
    SharedMemory exchange;
    ASSERT_TRUE(exchange.Create(u"Local\\LoxanDataExchange", 2106));
    EXPECT_EQ(ShmFileSize(u"LoxanDataExchange"), 2106u);
    EXPECT_EQ(SharedMemory::NativeName(u"Local\\LoxanDataExchange"), SharedMemory::NativeName(u"LoxanDataExchange"));

    first.Close();
    SharedMemory late;
    EXPECT_FALSE(late.Open(name, 520));
    EXPECT_EQ(ShmFileSize(name), 0u);
}

TEST(SharedMemory, NamesAreKeptApartPerRuntimeFolder) {
    const std::string saved = getenv("XDG_RUNTIME_DIR");
    const std::string a = SharedMemory::NativeName(u"LoxanRadioMappingFile");
    setenv("XDG_RUNTIME_DIR", (saved + "/other").c_str(), 1);
    const std::string b = SharedMemory::NativeName(u"LoxanRadioMappingFile");
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find('/', 1), std::string::npos);
    EXPECT_EQ(a.rfind("/loxanradio-" + std::to_string(getuid()) + "-", 0), 0u);
}

TEST(SingleInstance, SecondHolderSeesTheFirst) {
    {
        SingleInstance first(u"LoxanRadioSingleEven");
        ASSERT_TRUE(first.IsValid());
        EXPECT_FALSE(first.AlreadyExisted());
        EXPECT_EQ(first.LockPath(), std::string(getenv("XDG_RUNTIME_DIR")) + "/loxanradio/LoxanRadioSingleEven.lock");

        SingleInstance second(u"LoxanRadioSingleEven");
        EXPECT_TRUE(second.AlreadyExisted());

        // Another process sees it too.
        const int status = InChild([] { _exit(SingleInstance(u"LoxanRadioSingleEven").AlreadyExisted() ? 7 : 0); });
        EXPECT_EQ(WEXITSTATUS(status), 7);
    }
    // Released with its holder; the file left behind does not count.
    SingleInstance again(u"LoxanRadioSingleEven");
    EXPECT_FALSE(again.AlreadyExisted());
}

TEST(SingleInstance, FileOfACrashedCopyDoesNotBlock) {
    const int status = InChild([] {
        SingleInstance held(u"LoxanRadioSingleEven");
        raise(SIGKILL);
    });
    EXPECT_TRUE(WIFSIGNALED(status));
    SingleInstance next(u"LoxanRadioSingleEven");
    EXPECT_TRUE(std::filesystem::exists(next.LockPath()));
    EXPECT_FALSE(next.AlreadyExisted());
}

TEST(CrashHandler, WritesReportNamedAfterTheVersion) {
    struct Case {
        const char16_t* dump_name;  // nullptr: the default name
        int sig;
        const char* file;
    } cases[] = {
        {u"1.0.0.1.dmp", SIGSEGV, "1.0.0.1.dmp"},
        {nullptr, SIGSEGV, "default.dump"},
        {u"7.6.83.46.dmp", SIGABRT, "7.6.83.46.dmp"},
        {u"1.0.0.1.dmp", SIGFPE, "1.0.0.1.dmp"},
    };
    for (const Case& c : cases) {
        const std::string dir = testsupport::MakeTempDir("crash-" + std::to_string(c.sig) + "-" + c.file);
        const int status = InChild([&] {
            CrashHandler::Install(Utf8ToUtf16(dir));
            if (c.dump_name) CrashHandler::SetDumpName(c.dump_name);
            if (CrashHandler::ReportPath() != Utf8ToUtf16(dir + "/" + c.file)) _exit(3);
            raise(c.sig);
        });
        ASSERT_TRUE(WIFSIGNALED(status)) << c.file << " status " << status;
        EXPECT_EQ(WTERMSIG(status), c.sig);
        const std::string report = testsupport::ReadFile(dir + "/" + c.file);
        EXPECT_NE(report.find("signal: " + std::to_string(c.sig)), std::string::npos) << report;
        EXPECT_NE(report.find("version: " LOXANRADIO_VERSION), std::string::npos);
        EXPECT_NE(report.find("backtrace:\n"), std::string::npos);
        EXPECT_GT(report.size(), report.find("backtrace:\n") + 12);  // at least one frame
    }
}

TEST(Version, FourNumbersReadBackFromTheProgramFile) {
    const std::u16string v = ProgramVersion();
    EXPECT_EQ(v, Utf8ToUtf16(LOXANRADIO_VERSION));
    int dots = 0;
    for (char16_t c : v) {
        if (c == u'.') ++dots;
        else EXPECT_TRUE(c >= u'0' && c <= u'9');
    }
    EXPECT_EQ(dots, 3);

    std::u16string text;
    EXPECT_TRUE(GetFileVersionString(ProgramFilePath(), &text));
    EXPECT_EQ(text, v);

    const std::string other = testsupport::MakeTempDir("ver") + "/notes.txt";
    testsupport::WriteFile(other, "not a program");
    text = u"old";
    EXPECT_FALSE(GetFileVersionString(Utf8ToUtf16(other), &text));
    EXPECT_EQ(text, u" ");
    EXPECT_FALSE(GetFileVersionString(u"/no/such/program", &text));
    EXPECT_EQ(text, u" ");
}
