// The configuration store: defaults, the 43 rows of a save, the load rules, hot keys, the
// shutdown time, the companion settings file, quoting, and unreadable databases.
#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "storage/Config.h"
#include "storage/CppSQLite3Exception.h"
#include "tests/storage/StorageTestUtil.h"

namespace {

using storagetest::CountRows;
using storagetest::FreshDatabase;

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = FreshDatabase(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override { SqlWriteQueue::DestroyInstance(); }

    // Runs statements directly on the database file.
    void Exec(const std::string& sql) {
        CppSQLite3DB db;
        db.Open(path_);
        db.Execute(sql);
    }
    void Store(const std::string& section, const std::string& key, const std::string& value) {
        Exec("insert into config(section,keyname,value) values('" + section + "','" + key + "','" + value +
             "');");
    }
    void CreateTable() {
        Exec("create table config(section nvarchar(300), keyname nvarchar(300), value nvarchar(300));");
    }
    std::u16string StoredText(std::u16string_view section, std::u16string_view key) {
        CppSQLite3DB db;
        db.Open(path_);
        return CConfig::ReadText(db, section, key);
    }
    void SaveAndFlush(CConfig& c) {
        ASSERT_TRUE(c.Save());
        SqlWriteQueue::Instance().Flush();
    }

    std::u16string path_;
};

TEST_F(ConfigTest, FirstStartHasDefaultsAndFirstSaveWrites43Rows) {
    CConfig c;
    c.Load();
    EXPECT_TRUE(c.LoadSucceeded());
    EXPECT_EQ(c.IsTray, 1);
    EXPECT_EQ(c.IsAutoUpdate, 1);
    EXPECT_EQ(c.IsAutoPlay, 1);
    EXPECT_EQ(c.BufferTime, 5);
    EXPECT_EQ(c.IsCloseTip, 1);
    EXPECT_EQ(c.Volume, 100);
    EXPECT_EQ(c.SkinName, u"default.zip");
    EXPECT_EQ(c.RecordFilePath, MusicFolder() + u"/录音");
    EXPECT_EQ(c.hotkey_count, 11);
    EXPECT_EQ(c.HotKeys[2], (HotKeyEntry{u"下一曲", 2599, 3623}));
    EXPECT_EQ(c.HotKeys[8], (HotKeyEntry{u"静音开关", 589, 1613}));
    EXPECT_EQ(c.HotKeys[10], (HotKeyEntry{u"查找", 582, 0}));
    EXPECT_TRUE(c.HotKeys[11].name.empty());
    EXPECT_EQ(CountRows(path_, u"config"), 0);  // the table exists now

    SaveAndFlush(c);
    EXPECT_EQ(CountRows(path_, u"config"), 43);
    EXPECT_EQ(StoredText(u"HotKeys", u"hotkey1"), u"播放/暂停|116|0|");
    EXPECT_EQ(StoredText(u"Skin", u"SkinName"), u"default.zip");

    // A second save replaces the rows rather than adding to them.
    SaveAndFlush(c);
    EXPECT_EQ(CountRows(path_, u"config"), 43);
}

TEST_F(ConfigTest, SavedValuesLoadBack) {
    CConfig a;
    a.Load();
    a.IsTray = 0;
    a.BufferTime = 12;
    a.proxy.proxy_type = 2;
    a.proxy.proxy_addr = u"127.0.0.1";
    a.proxy.proxy_port = 8080;
    a.SkinName = u"blue.zip";
    a.Volume = 35;
    a.Version = 7;
    a.etag = u"\"abc\"";
    a.HotKeys[4].firstValue = 119;
    SaveAndFlush(a);

    CConfig b;
    b.Load();
    EXPECT_EQ(b.IsTray, 0);
    EXPECT_EQ(b.BufferTime, 12);
    EXPECT_EQ(b.proxy.proxy_type, 2);
    EXPECT_EQ(b.proxy.proxy_addr, u"127.0.0.1");
    EXPECT_EQ(b.proxy.proxy_port, 8080);
    EXPECT_EQ(b.SkinName, u"blue.zip");
    EXPECT_EQ(b.Volume, 35);
    EXPECT_EQ(b.Version, 7);
    EXPECT_EQ(b.GetEtag(), u"\"abc\"");
    EXPECT_EQ(b.HotKeys[4], (HotKeyEntry{u"停止播放", 119, 0}));
}

TEST_F(ConfigTest, EmptyStoredTextsReplaceOnlyWhereAllowed) {
    CreateTable();
    for (const char* key : {"proxy_addr", "proxy_name", "proxy_password", "proxy_domain"})
        Store("Proxy", key, "");
    Store("RecordFilePath", "RecordFilePath", "");
    Store("Skin", "SkinName", "");
    Store("DisServerAddr", "DisServerAddr", "");
    Store("http_resp_header", "etag", "");
    Store("http_resp_header", "session_key", "");

    CConfig c;
    c.proxy.proxy_addr = u"proxy.local";
    c.proxy.proxy_name = u"me";
    c.proxy.proxy_password = u"pw";
    c.proxy.proxy_domain = u"dom";
    c.etag = u"old-etag";
    c.session_key = u"old-key";
    const std::u16string record = c.RecordFilePath;
    const std::u16string server = c.DisServerAddr;
    c.Load();
    EXPECT_EQ(c.proxy.proxy_addr, u"proxy.local");
    EXPECT_EQ(c.proxy.proxy_name, u"me");
    EXPECT_EQ(c.proxy.proxy_password, u"pw");
    EXPECT_EQ(c.proxy.proxy_domain, u"dom");
    EXPECT_EQ(c.RecordFilePath, record);
    EXPECT_EQ(c.SkinName, u"default.zip");
    EXPECT_EQ(c.DisServerAddr, server);
    EXPECT_EQ(c.GetEtag(), u"");
    EXPECT_EQ(c.GetSessionKey(), u"");
}

TEST_F(ConfigTest, HotKeyCountLimitsTheEntriesRead) {
    CreateTable();
    Store("HotKeys", "hotkey_count", "3");
    for (int i = 0; i < 11; ++i)
        Store("HotKeys", "hotkey" + std::to_string(i), "Act" + std::to_string(i) + "|1|2|");
    CConfig c;
    c.Load();
    EXPECT_EQ(c.HotKeys[0], (HotKeyEntry{u"Act0", 1, 2}));
    EXPECT_EQ(c.HotKeys[2], (HotKeyEntry{u"Act2", 1, 2}));
    EXPECT_EQ(c.HotKeys[3], (HotKeyEntry{u"上一曲", 2597, 3621}));
    EXPECT_EQ(c.HotKeys[10], (HotKeyEntry{u"查找", 582, 0}));
    EXPECT_EQ(c.hotkey_count, 11);
}

TEST_F(ConfigTest, HotKeyTextsAreSplitAtTheirSeparators) {
    struct Case {
        std::string stored;
        HotKeyEntry expected;
    };
    const HotKeyEntry def{u"选项", 112, 0};
    const Case cases[] = {
        {"Options|113|1|", {u"Options", 113, 1}},
        {"|0|0|", {u"", 0, 0}},
        {"Options|x|7|rest|", {u"Options", 0, 7}},
        {"Options", def},
        {"Options|113", def},
        {"Options|113|1", def},
        {"", def},
    };
    CreateTable();
    for (const Case& c : cases) {
        Exec("delete from config;");
        Store("HotKeys", "hotkey0", c.stored);
        CConfig config;
        config.Load();
        EXPECT_EQ(config.HotKeys[0], c.expected) << c.stored;
    }
}

TEST_F(ConfigTest, HotKeyCountAboveElevenReadsEleven) {
    CreateTable();
    Store("HotKeys", "hotkey_count", "15");
    Store("HotKeys", "hotkey11", "Extra|1|1|");
    Store("HotKeys", "hotkey10", "Find|70|0|");
    CConfig c;
    c.Load();
    EXPECT_EQ(c.HotKeys[10], (HotKeyEntry{u"Find", 70, 0}));
    EXPECT_TRUE(c.HotKeys[11].name.empty());
    SaveAndFlush(c);
    EXPECT_EQ(CountRows(path_, u"config"), 43);
}

TEST_F(ConfigTest, ShutDownTimeIsWrittenWholeAndBothFormsRead) {
    const int64_t after2038 = 2200000000;  // 2039-09-18
    {
        CConfig c;
        c.Load();
        c.ShutDownTime = after2038;
        SaveAndFlush(c);
        EXPECT_EQ(StoredText(u"ShutDownTime", u"ShutDownTime"), u"2200000000");
    }
    struct Case {
        const char* stored;
        int64_t expected;
    };
    const Case cases[] = {
        {"2200000000", after2038},
        {"-2094967296", after2038},  // the same time in the old low-32-bit form
        {"1700000000", 1700000000},
        {"5000000000", 5000000000},
    };
    for (const Case& k : cases) {
        Exec("delete from config;");
        Store("ShutDownTime", "ShutDownTime", k.stored);
        CConfig c;
        c.ShutDownTime = 1;
        c.Load();
        EXPECT_EQ(c.ShutDownTime, k.expected) << k.stored;
    }
    Exec("delete from config;");
    CConfig none;
    none.ShutDownTime = 1;
    none.Load();
    EXPECT_EQ(none.ShutDownTime, 1);
}

TEST_F(ConfigTest, SettingsFileValuesAndDefaults) {
    {
        CConfig c;
        c.Load();
        EXPECT_TRUE(c.RadioUseMagpie);
        EXPECT_EQ(c.RadioMagpieID, 40);
        EXPECT_EQ(c.GetMagpieUrl().find(u"http://"), 0u);
        EXPECT_NE(c.GetMagpieUrl().find(u"/api/package/v1/query"), std::u16string::npos);
        EXPECT_EQ(c.GetApiServerHost().find(u"http://"), 0u);
        EXPECT_EQ(c.GetStreamPlayHost().find(u"http://"), 0u);
        EXPECT_NE(c.DisServerAddr.find(u":8000"), std::u16string::npos);
    }
    ASSERT_TRUE(EnsureDirectory(CompanionDataPath()));
    testsupport::WriteFile(Utf16ToUtf8(CompanionDataPath(u"net_option.ini")),
                           "[WebURL]\nRADIO_API_SERVER_HOST=http://127.0.0.1:1234\n"
                           "RADIO_STREAM_PLAY_HOST=http://127.0.0.1:1235\nMagpieUrl=http://127.0.0.1:1236/q\n"
                           "[Option2]\nRadioUseMagpie=2\nRadioMagpieID=77\n");
    CConfig c;
    c.Load();
    EXPECT_EQ(c.GetApiServerHost(), u"http://127.0.0.1:1234");
    EXPECT_EQ(c.GetStreamPlayHost(), u"http://127.0.0.1:1235");
    EXPECT_EQ(c.GetMagpieUrl(), u"http://127.0.0.1:1236/q");
    EXPECT_FALSE(c.RadioUseMagpie);  // only exactly 1 counts as on
    EXPECT_EQ(c.RadioMagpieID, 77);
    DeleteFileAt(CompanionDataPath(u"net_option.ini"));
}

TEST_F(ConfigTest, TextsWithQuotesRoundTrip) {
    CConfig a;
    a.Load();
    a.RecordFilePath = u"/home/bob/Bob's music";
    a.proxy.proxy_password = u"it's'); DELETE FROM config; --";
    a.HotKeys[0].name = u"Don't";
    a.session_key = u"'";
    SaveAndFlush(a);
    EXPECT_EQ(CountRows(path_, u"config"), 43);

    CConfig b;
    b.Load();
    EXPECT_EQ(b.RecordFilePath, a.RecordFilePath);
    EXPECT_EQ(b.proxy.proxy_password, a.proxy.proxy_password);
    EXPECT_EQ(b.HotKeys[0].name, u"Don't");
    EXPECT_EQ(b.GetSessionKey(), u"'");

    CppSQLite3DB db;
    db.Open(path_);
    EXPECT_EQ(CConfig::ReadInt(db, u"it's", u"key'", 9), 9);
    EXPECT_EQ(CConfig::ReadText(db, u"Proxy", u"proxy_password"), a.proxy.proxy_password);
}

TEST_F(ConfigTest, UnreadableDatabaseKeepsDefaultsAndIsNotOverwritten) {
    SqlWriteQueue::DestroyInstance();
    const std::string junk(4096, 'x');
    testsupport::WriteFile(Utf16ToUtf8(path_), junk);
    CConfig c;
    EXPECT_THROW(c.Load(), CppSQLite3Exception);
    EXPECT_FALSE(c.LoadSucceeded());
    EXPECT_EQ(c.Volume, 100);
    c.Volume = 10;
    EXPECT_FALSE(c.Save());
    SqlWriteQueue::DestroyInstance();
    EXPECT_EQ(testsupport::ReadFile(Utf16ToUtf8(path_)), junk);
}

TEST_F(ConfigTest, SaveAfterFailedLoadKeepsStoredSettingsTheUserDidNotChange) {
    SqlWriteQueue::DestroyInstance();
    testsupport::WriteFile(Utf16ToUtf8(path_), std::string(4096, 'x'));
    CConfig c;
    EXPECT_THROW(c.Load(), CppSQLite3Exception);
    c.Volume = 10;  // the user's change

    // The database is readable again by the time the settings are saved.
    SqlWriteQueue::DestroyInstance();
    DeleteFileAt(path_);
    CreateTable();
    Store("Volume", "Volume", "40");
    Store("Skin", "SkinName", "green.zip");
    Store("General", "IsTray", "0");
    Store("http_resp_header", "etag", "e1");

    SaveAndFlush(c);
    EXPECT_TRUE(c.LoadSucceeded());
    EXPECT_EQ(c.Volume, 10);
    EXPECT_EQ(c.SkinName, u"green.zip");
    EXPECT_EQ(c.IsTray, 0);
    EXPECT_EQ(c.GetEtag(), u"e1");
    EXPECT_EQ(CountRows(path_, u"config"), 43);
    EXPECT_EQ(StoredText(u"Volume", u"Volume"), u"10");
    EXPECT_EQ(StoredText(u"Skin", u"SkinName"), u"green.zip");
    EXPECT_EQ(StoredText(u"General", u"IsTray"), u"0");
}

}  // namespace
