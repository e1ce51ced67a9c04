// The recent list "最近收听": the last ten stations played, newest first, in the table lastlist.
// The main window records every station that starts playing through Append.
// Threading: UI thread only; every change is a statement handed to the write queue.
#pragma once

#include <cstdint>
#include <functional>

#include "storage/DataManagement.h"
#include "storage/TableSchema.h"

class SqlWriteQueue;

class CLastListManagement : public DataManagement {
public:
    static constexpr int kLimit = 10;
    using Clock = std::function<int64_t()>;  // seconds since 1970

    // `now` defaults to the system clock.
    explicit CLastListManagement(Clock now = {});

    // Rebuilds the list from the table, newest first; more than ten rows all load (the next play
    // trims them). Database errors leave as CppSQLite3Exception.
    bool Load() override;
    // Records that `node` (a station) started playing: an entry with the same stream address
    // moves to the front with the new play time; otherwise a copy becomes the first entry.
    // Entries after the tenth are removed. `parent` and `after` are not used. The statements go
    // to the process's write queue. False for anything but a station, and before Load.
    bool Append(TreeNode* node, TreeNode* parent, TreeNode* after) override;
    // Removes (deletes) an entry and queues the deletion of its row.
    bool RemoveEntry(TreeNode* entry, SqlWriteQueue* queue);

    TreeNode* Root() const { return First(); }

private:
    int NextId();

    Clock m_now;
    TableSchema m_schema;
    int m_idCounter = -1;  // highest row id given out; -1 until first needed
};
