#pragma once
// One check run at a time on a database. The working tables are plain tables
// that every session on the database shares, so a second program's run would
// drop them under the first one's, or add its rows to the first one's
// register. A run holds a server-side lock of its session from its first
// statement on the working tables to the last row read back into the
// register; the server frees it with the session, so a killed program or a
// lost connection leaves nothing held.
#include <QString>

#include "platform/database.h"

namespace check {

// The lock: a session-level advisory lock with one fixed key for every
// program on the database ("TMP_CONT" in ASCII).
inline constexpr long long kRunLockKey = 0x544D505F434F4E54LL;
extern const QString kTryRunLockSql;
extern const QString kRunUnlockSql;

class RunLock {
 public:
  // Asks for the lock without waiting; acquired() tells whether it was had.
  // Raises DbError when the database refuses the question.
  explicit RunLock(platform::db::Connection& connection);
  // Gives the lock back, unless the session is gone (and the lock with it).
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // False when another session holds it.
  bool acquired() const { return acquired_; }

 private:
  platform::db::Connection& connection_;
  bool acquired_ = false;
};

}  // namespace check
