#include <gtest/gtest.h>

#include "platform/database.h"

using platform::db::Connection;
using platform::db::DbError;
using platform::db::Query;

TEST(Database, ClosedQueryIsAtEndAndRefusesFields) {
  Connection c;
  Query q(c);
  EXPECT_TRUE(q.eof());
  EXPECT_EQ(q.recordCount(), 0);
  EXPECT_THROW(q.fieldByName(QStringLiteral("x")), DbError);
}

TEST(Database, OpenFailsWithTheDriverManagersMessage) {
  Connection c;
  try {
    c.open(QStringLiteral("DRIVER={No Such Driver};SERVER=127.0.0.1"));
    FAIL() << "opened";
  } catch (const DbError& e) {
    EXPECT_FALSE(e.message().isEmpty());
    EXPECT_STREQ(e.what(), e.message().toStdString().c_str());
  }
  EXPECT_FALSE(c.isOpen());
}

TEST(Database, ConnectionLostStates) {
  const struct {
    const char* state;
    bool lost;
  } cases[] = {
      {"08S01", true},   // the driver: communication link failure
      {"08006", true},   // connection failure
      {"08003", true},   // connection does not exist
      {"57P01", true},   // administrator shutdown, terminated session
      {"57P02", true},   // crash shutdown
      {"57P03", true},   // cannot connect now
      {"57P04", true},   // database dropped
      {"57P05", true},   // idle_session_timeout
      {"25P03", true},   // idle_in_transaction_session_timeout
      {"25P04", true},   // transaction_timeout
      {"57014", false},  // statement cancelled: the session lives on
      {"25P02", false},  // statement in a failed transaction: the session lives on
      {"57P0", false},   {"57P06", false},
      {"42P01", false},  {"22001", false}, {"HY000", false}, {"", false},
  };
  for (const auto& c : cases) {
    const platform::db::DbError e(QStringLiteral("m"), QString::fromLatin1(c.state), 35);
    EXPECT_EQ(e.connectionLost(), c.lost) << c.state;
    EXPECT_EQ(e.sqlState(), QString::fromLatin1(c.state));
    EXPECT_EQ(e.nativeCode(), 35);
    EXPECT_STREQ(e.what(), "m");
  }
}
