#include "check/RunLock.h"

namespace check {

const QString kTryRunLockSql = QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(kRunLockKey);
const QString kRunUnlockSql = QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kRunLockKey);

namespace {

// A boolean as the driver writes it: "1" (booleans as characters) or "t".
bool isTrue(const QString& value) {
  return value == QLatin1String("1") || value == QLatin1String("t") || value == QLatin1String("true");
}

}  // namespace

RunLock::RunLock(platform::db::Connection& connection) : connection_(connection) {
  platform::db::Query q(connection_);
  q.setSql(kTryRunLockSql);
  q.open();
  acquired_ = !q.eof() && isTrue(q.value(0));
}

RunLock::~RunLock() {
  if (!acquired_ || connection_.lost()) return;
  try {
    platform::db::Query q(connection_);
    q.setSql(kRunUnlockSql);
    q.open();
  } catch (...) {
    // A session that cannot answer has ended, and its lock with it.
  }
}

}  // namespace check
