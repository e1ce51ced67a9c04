// The write queue: order, one transaction per flush, skipped statements, kept batches, the
// writer thread and the last flush at destruction.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <thread>

#include "platform/Paths.h"
#include "storage/CppSQLite3Exception.h"
#include "storage/SqlWriteQueue.h"
#include "tests/storage/StorageTestUtil.h"

namespace {

using storagetest::CountRows;
using storagetest::FreshDatabase;

void CreateLog(const std::u16string& path) {
    CppSQLite3DB db;
    db.Open(path);
    db.Execute(std::string("create table log(n integer UNIQUE, tag text);"));
}

std::vector<int> LoggedNumbers(const std::u16string& path) {
    CppSQLite3DB db;
    db.Open(path);
    std::vector<int> out;
    for (CppSQLite3Query q = db.Query(u"select n from log order by rowid"); !q.AtEnd(); q.NextRow()) {
        out.push_back(q.IntField(u"n"));
    }
    return out;
}

TEST(SqlWriteQueue, TenStatementsInOrderInOneTransactionOneFailing) {
    const std::u16string path = FreshDatabase("ten");
    CreateLog(path);
    SqlWriteQueue queue(path);

    // Count the commits the queue's connection makes.
    CppSQLite3DB probe;
    probe.Open(path);
    const int before = probe.QueryScalar(u"PRAGMA data_version");

    for (int i = 1; i <= 10; ++i) {
        if (i == 4) {
            queue.Enqueue(u"insert into no_such_table values(4)");
        } else {
            queue.Enqueue(Format(u"insert into log(n) values(%d)", i));
        }
    }
    EXPECT_EQ(queue.PendingCount(), 10u);
    queue.Flush();
    EXPECT_EQ(queue.PendingCount(), 0u);
    EXPECT_EQ(LoggedNumbers(path), (std::vector<int>{1, 2, 3, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(probe.QueryScalar(u"PRAGMA data_version"), before + 1);  // one commit
}

TEST(SqlWriteQueue, ConstraintFailureIsSkippedToo) {
    const std::u16string path = FreshDatabase("constraint");
    CreateLog(path);
    SqlWriteQueue queue(path);
    queue.Enqueue(u"insert into log(n) values(1)");
    queue.Enqueue(u"insert into log(n) values(1)");
    queue.Enqueue(u"insert into log(n) values(2)");
    queue.Flush();
    EXPECT_EQ(LoggedNumbers(path), (std::vector<int>{1, 2}));
}

TEST(SqlWriteQueue, QueuedWritesSurviveDestructionWithoutWriter) {
    const std::u16string path = FreshDatabase("shutdown");
    CreateLog(path);
    {
        SqlWriteQueue queue(path);
        for (int i = 0; i < 5; ++i) queue.Enqueue(Format(u"insert into log(n) values(%d)", i));
    }
    EXPECT_EQ(LoggedNumbers(path), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(SqlWriteQueue, InstanceTearDownWritesWhatIsQueued) {
    const std::u16string path = FreshDatabase("instance");
    CreateLog(path);
    SqlWriteQueue::Instance().StartWriter();
    SqlWriteQueue::Instance().Enqueue(u"insert into log(n, tag) values(7, 'it''s')");
    SqlWriteQueue::DestroyInstance();
    EXPECT_EQ(LoggedNumbers(path), (std::vector<int>{7}));
}

TEST(SqlWriteQueue, WriterThreadFlushesPeriodically) {
    const std::u16string path = FreshDatabase("writer");
    CreateLog(path);
    SqlWriteQueue queue(path, 20);
    EXPECT_TRUE(queue.StartWriter());
    EXPECT_FALSE(queue.StartWriter());
    queue.Enqueue(u"insert into log(n) values(1)");
    EXPECT_TRUE(testsupport::WaitUntil([&] { return CountRows(path, u"log") == 1; }));
    queue.Enqueue(u"insert into log(n) values(2)");
    EXPECT_TRUE(testsupport::WaitUntil([&] { return CountRows(path, u"log") == 2; }));
}

TEST(SqlWriteQueue, LockedDatabaseKeepsTheBatchQueued) {
    const std::u16string path = FreshDatabase("locked");
    CreateLog(path);
    SqlWriteQueue queue(path);
    queue.SetBusyTimeout(20);

    CppSQLite3DB holder;
    holder.Open(path);
    holder.Execute(std::string("begin exclusive transaction;"));
    queue.Enqueue(u"insert into log(n) values(1)");
    queue.Enqueue(u"insert into log(n) values(2)");
    EXPECT_THROW(queue.Flush(), CppSQLite3Exception);
    EXPECT_EQ(queue.PendingCount(), 2u);
    queue.Enqueue(u"insert into log(n) values(3)");
    holder.Execute(std::string("commit transaction;"));

    queue.Flush();
    EXPECT_EQ(queue.PendingCount(), 0u);
    EXPECT_EQ(LoggedNumbers(path), (std::vector<int>{1, 2, 3}));
}

TEST(SqlWriteQueue, FailedCommitKeepsTheBatchQueued) {
    const std::u16string path = FreshDatabase("commit");
    CreateLog(path);
    SqlWriteQueue queue(path);
    queue.SetBusyTimeout(20);

    // A reader that holds a shared lock lets the writes through but blocks the commit.
    CppSQLite3DB reader;
    reader.Open(path);
    reader.Execute(std::string("begin transaction;"));
    EXPECT_EQ(reader.QueryScalar(u"select count(*) from log"), 0);
    queue.Enqueue(u"insert into log(n) values(1)");
    EXPECT_THROW(queue.Flush(), CppSQLite3Exception);
    EXPECT_EQ(queue.PendingCount(), 1u);
    reader.Execute(std::string("commit transaction;"));

    queue.Flush();
    EXPECT_EQ(LoggedNumbers(path), (std::vector<int>{1}));
}

TEST(SqlWriteQueue, MissingFolderKeepsStatementsUntilItExists) {
    const std::string dir = testsupport::TempRoot() + "/later";
    const std::u16string path = Utf8ToUtf16(dir + "/LXRadio.db");
    SqlWriteQueue queue(path);
    queue.Enqueue(u"create table log(n integer UNIQUE, tag text)");
    queue.Enqueue(u"insert into log(n) values(1)");
    EXPECT_THROW(queue.Flush(), CppSQLite3Exception);
    EXPECT_EQ(queue.PendingCount(), 2u);
    ASSERT_TRUE(EnsureDirectory(Utf8ToUtf16(dir)));
    queue.Flush();
    EXPECT_EQ(LoggedNumbers(path), (std::vector<int>{1}));
}

TEST(SqlWriteQueue, ThreadsEnqueueWhileTheWriterFlushes) {
    const std::u16string path = FreshDatabase("threads");
    CreateLog(path);
    constexpr int kThreads = 4;
    constexpr int kEach = 300;
    {
        SqlWriteQueue queue(path, 2);
        queue.StartWriter();
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&queue, t] {
                for (int i = 0; i < kEach; ++i) {
                    queue.Enqueue(Format(u"insert into log(n, tag) values(%d, '%d')", t * kEach + i, t));
                }
            });
        }
        for (std::thread& th : threads) th.join();
    }
    // Nothing lost, and each thread's statements in its own order.
    const std::vector<int> numbers = LoggedNumbers(path);
    ASSERT_EQ(numbers.size(), static_cast<size_t>(kThreads * kEach));
    std::vector<int> last(kThreads, -1);
    for (int n : numbers) {
        EXPECT_GT(n, last[static_cast<size_t>(n / kEach)]);
        last[static_cast<size_t>(n / kEach)] = n;
    }
}

TEST(SqlWriteQueue, LongStatementsAreWrittenWhole) {
    const std::u16string path = FreshDatabase("long");
    CreateLog(path);
    const std::u16string tag(5000, u'长');
    {
        SqlWriteQueue queue(path);
        queue.Enqueue(Format(u"insert into log(n, tag) values(1, '%s')", tag));
    }
    CppSQLite3DB db;
    db.Open(path);
    EXPECT_EQ(db.Query(u"select tag from log").TextField(u"tag"), tag);
}

}  // namespace
