#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "tests/support/ScriptedDialogs.h"

TEST(dialogs, FilterBecomesQtForm) {
  EXPECT_EQ(platform::qtFileFilter(QStringLiteral("报表校核情况(.xls)|*.xls")),
            QStringLiteral("报表校核情况(.xls) (*.xls)"));
  EXPECT_EQ(platform::qtFileFilter(QStringLiteral("a|*.a;*.b|c|*.c")),
            QStringLiteral("a (*.a *.b);;c (*.c)"));
}

TEST(dialogs, ScopedDoubleIsInForceForItsLifetimeOnly) {
  platform::Dialogs* real = &platform::dialogs();
  {
    ScriptedDialogs scripted;
    EXPECT_EQ(&platform::dialogs(), &scripted);
    scripted.fileAnswers.push_back(QStringLiteral("/tmp/x.xls"));
    EXPECT_EQ(platform::dialogs().saveFileName(nullptr, {}), QStringLiteral("/tmp/x.xls"));
    EXPECT_EQ(platform::dialogs().saveFileName(nullptr, {}), std::nullopt);  // queue empty: cancel
    platform::dialogs().plainMessage(QStringLiteral("m"));
    EXPECT_EQ(scripted.texts(DialogCall::Plain), std::vector<QString>{QStringLiteral("m")});
  }
  EXPECT_EQ(&platform::dialogs(), real);
}
