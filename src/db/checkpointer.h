// The WAL of the SQLite files that open_sqlite opens is written back into them by one background
// thread of the process, not by the commit that made it long (1,000 pages, SQLite's own rule),
// so that the committing thread never waits for the checkpoint's disk flushes. What follows
// serves tests and orderly shutdowns.
#pragma once

#include <cstdint>

struct sqlite3;

namespace quorlane::db {

// Blocks until every checkpoint asked for so far has run.
void wait_for_checkpoints();

// Stops and joins the thread, dropping the requests not yet served (their WAL stays valid and
// goes back with the next checkpoint or the file's last close). The next request starts it
// again. At process exit or library unload it is stopped for good, and commits from then on
// checkpoint themselves.
void stop_checkpointer();

bool checkpointer_running();

// Checkpoints the thread has run since the process started.
uint64_t checkpoints_completed();

// For the connections to the files (sqlite_database.cpp).
struct SharedFile;

// SQLite's WAL hook, set on every connection to a file with its shared_ptr<SharedFile>: after a
// commit that left the WAL at 1,000 pages or more, asks the thread for a checkpoint of the file
// (the committing thread checkpoints itself when the process is ending).
int checkpoint_after_commit(void* shared, sqlite3* db, const char* schema, int frames);

// Called before the last connection of the process to the file closes: the thread lets go of
// the file, so that the closing connection writes the WAL back and removes it.
void release_checkpoints(SharedFile& file);

}  // namespace quorlane::db
