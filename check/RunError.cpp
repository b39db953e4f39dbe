#include "check/RunError.h"

#include "check/CheckTexts.h"
#include "platform/database.h"

namespace check {

RunError::RunError(const QString& where, const QString& cause)
    : std::runtime_error((texts::kRunFailedAt.arg(where) + QLatin1Char('\n') + cause).toStdString()),
      where_(where),
      cause_(cause) {}

void runStep(const QString& where, const std::function<void()>& step) {
  try {
    step();
  } catch (const RunError&) {
    throw;
  } catch (const platform::db::DbError& e) {
    if (e.connectionLost()) throw;
    throw RunError(where, e.message());
  } catch (const std::exception& e) {
    throw RunError(where, QString::fromUtf8(e.what()));
  }
}

}  // namespace check
