// The database layer: connection, cursor, exception texts, table schemas and quoting.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "storage/CppSQLite3DB.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/SqlEscape.h"
#include "storage/TableSchema.h"
#include "tests/storage/StorageTestUtil.h"

namespace {

using storagetest::FreshDatabase;

std::vector<std::u16string> ColumnNames(CppSQLite3DB& db, const std::u16string& table) {
    std::vector<std::u16string> names;
    for (CppSQLite3Query q = db.Query(u"PRAGMA table_info(" + table + u")"); !q.AtEnd(); q.NextRow()) {
        names.push_back(q.TextField(u"name"));
    }
    return names;
}

TEST(Database, NewFileGetsUtf16leEncoding) {
    const std::u16string path = FreshDatabase("enc");
    CppSQLite3DB db;
    db.Open(path);
    db.Execute(std::string("create table t(a nvarchar(10));"));
    db.Close();
    CppSQLite3DB again;
    again.Open(path);
    CppSQLite3Query q = again.Query(u"PRAGMA encoding;");
    ASSERT_FALSE(q.AtEnd());
    EXPECT_EQ(q.FirstFieldText(), u"UTF-16le");
}

TEST(Database, ExceptionTextNamesTheCode) {
    struct Case {
        int code;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {1, "no such table: x", "SQLITE_ERROR[1]: no such table: x"},
        {5, "database is locked", "SQLITE_BUSY[5]: database is locked"},
        {101, "", "SQLITE_DONE[101]: "},
        {1000, "Invalid scalar query", "CPPSQLITE_ERROR[1000]: Invalid scalar query"},
        {26, "file is not a database", "UNKNOWN_ERROR[26]: file is not a database"},
    };
    for (const Case& c : cases) {
        const CppSQLite3Exception e(c.code, c.text);
        EXPECT_STREQ(e.what(), c.expected);
        const CppSQLite3Exception copy = e;
        EXPECT_EQ(copy.ErrorMessage(), c.expected);
        EXPECT_EQ(copy.ErrorCode(), c.code);
    }
}

TEST(Database, ClosedConnectionAndEmptyCursorThrow) {
    CppSQLite3DB db;
    try {
        db.Query(u"select 1");
        FAIL();
    } catch (const CppSQLite3Exception& e) {
        EXPECT_STREQ(e.what(), "CPPSQLITE_ERROR[1000]: Database not open");
    }
    EXPECT_THROW(db.Execute(std::string("select 1")), CppSQLite3Exception);
    EXPECT_EQ(db.ExecuteQuiet(u"select 1"), 0);

    CppSQLite3Query empty;
    try {
        empty.AtEnd();
        FAIL();
    } catch (const CppSQLite3Exception& e) {
        EXPECT_STREQ(e.what(), "CPPSQLITE_ERROR[1000]: Null Virtual Machine pointer");
    }
    EXPECT_NO_THROW(empty.Finalize());
}

TEST(Database, NullFieldsGiveTheGivenValueAndEmptyText) {
    CppSQLite3DB db;
    db.Open(u":memory:");
    db.Execute(
        std::string("create table t(i integer, s text, b integer);"
                    "insert into t values(NULL, NULL, 5000000000);"));
    CppSQLite3Query q = db.Query(u"select * from t");
    ASSERT_FALSE(q.AtEnd());
    EXPECT_EQ(q.IntField(u"i", -7), -7);
    EXPECT_EQ(q.Int64Field(u"i", -8), -8);
    EXPECT_EQ(q.TextField(u"s"), u"");
    EXPECT_EQ(q.Int64Field(u"b"), 5000000000);
    EXPECT_EQ(q.FieldIndex(u"S"), -1);  // names compare with case
    EXPECT_EQ(q.FieldType(0), 5);
    try {
        q.IntField(u"missing");
        FAIL();
    } catch (const CppSQLite3Exception& e) {
        EXPECT_STREQ(e.what(), "CPPSQLITE_ERROR[1000]: Invalid field index requested");
    }
    q.NextRow();
    EXPECT_TRUE(q.AtEnd());
}

TEST(Database, QueryScalarWithoutRowIsInvalid) {
    CppSQLite3DB db;
    db.Open(u":memory:");
    db.Execute(std::string("create table t(a integer);"));
    EXPECT_EQ(db.QueryScalar(u"select count(*) from t"), 0);
    try {
        db.QueryScalar(u"select a from t");
        FAIL();
    } catch (const CppSQLite3Exception& e) {
        EXPECT_EQ(e.ErrorCode(), CPPSQLITE_ERROR);
        EXPECT_STREQ(e.what(), "CPPSQLITE_ERROR[1000]: Invalid scalar query");
    }
}

TEST(Database, CursorMoveHandsTheStatementOver) {
    CppSQLite3DB db;
    db.Open(u":memory:");
    db.Execute(std::string("create table t(a integer); insert into t values(1); insert into t values(2);"));
    CppSQLite3Query a = db.Query(u"select a from t order by a");
    CppSQLite3Query b = db.Query(u"select a from t order by a desc");
    b = std::move(a);
    EXPECT_THROW(a.AtEnd(), CppSQLite3Exception);
    EXPECT_EQ(b.IntField(u"a"), 1);
    b.NextRow();
    EXPECT_EQ(b.IntField(u"a"), 2);
}

TEST(Database, BadFilesAndFoldersThrow) {
    const std::string dir = testsupport::MakeTempDir("bad");
    const std::string junk = dir + "/junk.db";
    testsupport::WriteFile(junk, std::string(4096, 'x'));
    CppSQLite3DB db;
    db.Open(Utf8ToUtf16(junk));  // SQLite reads the header lazily
    EXPECT_THROW(db.TableExists(u"config"), CppSQLite3Exception);

    CppSQLite3DB missing;
    EXPECT_THROW(missing.Open(Utf8ToUtf16(dir + "/no/such/folder/LXRadio.db")), CppSQLite3Exception);
}

TEST(Database, LockedDatabaseThrowsBusy) {
    const std::u16string path = FreshDatabase("busy");
    CppSQLite3DB holder;
    holder.Open(path);
    holder.Execute(std::string("create table t(a); begin exclusive transaction;"));
    CppSQLite3DB db;
    db.SetBusyTimeout(10);
    db.Open(path);
    try {
        db.Query(u"select * from t");
        FAIL();
    } catch (const CppSQLite3Exception& e) {
        EXPECT_EQ(e.ErrorCode(), 5);
        EXPECT_EQ(std::string(e.what()).rfind("SQLITE_BUSY[5]: ", 0), 0u) << e.what();
    }
    holder.Execute(std::string("commit transaction;"));
    EXPECT_NO_THROW(db.Query(u"select * from t"));
}

TEST(Database, ReadOnlyFolderThrows) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write anywhere";
    const std::string dir = testsupport::MakeTempDir("ro");
    chmod(dir.c_str(), 0500);
    CppSQLite3DB db;
    EXPECT_THROW(
        {
            db.Open(Utf8ToUtf16(dir + "/LXRadio.db"));
            db.Execute(std::string("create table t(a);"));
        },
        CppSQLite3Exception);
    chmod(dir.c_str(), 0700);
}

TEST(TableSchemaTest, CreateStatementText) {
    TableSchema s(u"x");
    s.AddColumn(u"a", u"t1");
    s.AddColumn(u"b", u"t2");
    EXPECT_EQ(s.CreateStatement(), u"Create  TABLE x(a t1,b t2);");
}

TEST(TableSchemaTest, EnsureTableCreatesExtendsAndLeavesAlone) {
    CppSQLite3DB db;
    db.Open(u":memory:");
    TableSchema s(u"items");
    s.AddColumn(u"id", u"integer PRIMARY KEY");
    s.AddColumn(u"name", u"nvarchar(300)");
    s.AddColumn(u"Speed", u"integer DEFAULT -2");
    s.AddColumn(u"kind", u"nvarchar(300)");

    EXPECT_TRUE(s.EnsureTable(db));
    EXPECT_EQ(ColumnNames(db, u"items"), (std::vector<std::u16string>{u"id", u"name", u"Speed", u"kind"}));

    // A table lacking two columns gets exactly those, in schema order; its own extra stays.
    db.Execute(
        std::string("create table old(id integer PRIMARY KEY, extra text, name nvarchar(300));"
                    "insert into old(id, extra, name) values(1, 'e', 'n');"));
    s.SetTableName(u"old");
    EXPECT_TRUE(s.EnsureTable(db));
    EXPECT_EQ(ColumnNames(db, u"old"),
              (std::vector<std::u16string>{u"id", u"extra", u"name", u"Speed", u"kind"}));
    EXPECT_EQ(db.QueryScalar(u"select Speed from old where id=1"), -2);

    // Complete: nothing changes.
    EXPECT_TRUE(s.EnsureTable(db));
    EXPECT_EQ(ColumnNames(db, u"old").size(), 5u);
    EXPECT_EQ(db.QueryScalar(u"select count(*) from old"), 1);
}

TEST(Quoting, SingleQuotesAreDoubled) {
    EXPECT_EQ(SqlEscape(u""), u"");
    EXPECT_EQ(SqlEscape(u"plain"), u"plain");
    EXPECT_EQ(SqlEscape(u"Bob's music"), u"Bob''s music");
    EXPECT_EQ(SqlEscape(u"''"), u"''''");
}

TEST(Quoting, QuotedTextsRoundTripUnchanged) {
    CppSQLite3DB db;
    db.Open(u":memory:");
    db.Execute(std::string("create table t(id integer PRIMARY KEY, name nvarchar(300));"));
    const std::u16string texts[] = {
        u"Bob's music",
        u"Don't Stop.mp3",
        u"'",
        u"''",
        u"x'); DROP TABLE t; --",
        u"电台's 名",
        std::u16string(3000, u'\'') + u"long",
    };
    int id = 0;
    for (const std::u16string& text : texts) {
        ++id;
        db.Execute(Format(u"insert into t(id, name) values(%d, '%s')", id, SqlEscape(text)));
        CppSQLite3Query q = db.Query(Format(u"select id from t where name='%s'", SqlEscape(text)));
        ASSERT_FALSE(q.AtEnd());
        EXPECT_EQ(q.IntField(u"id"), id);
        EXPECT_EQ(db.Query(Format(u"select name from t where id=%d", id)).TextField(u"name"), text);
    }
    EXPECT_TRUE(db.TableExists(u"t"));
    EXPECT_FALSE(db.TableExists(u"t' or '1'='1"));
}

}  // namespace
