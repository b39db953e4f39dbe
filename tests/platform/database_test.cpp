#include <gtest/gtest.h>

#include "platform/database.h"

using platform::db::Connection;
using platform::db::DbError;
using platform::db::Query;

TEST(database, ClosedQueryIsAtEndAndRefusesFields) {
  Connection c;
  Query q(c);
  EXPECT_TRUE(q.eof());
  EXPECT_EQ(q.recordCount(), 0);
  EXPECT_THROW(q.fieldByName(QStringLiteral("x")), DbError);
}

TEST(database, OpenFailsWithTheDriverManagersMessage) {
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
