// Row identifiers: the text form, the version and variant a random GUID
// carries, and no repeat among as many as a large check run takes.
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <unordered_set>

#include "platform/guid.h"

TEST(Guid, TextFormVersionAndVariant) {
  static const QRegularExpression form(
      QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
  for (int i = 0; i < 1000; ++i) {
    const QString id = platform::newGuidText();
    ASSERT_TRUE(form.match(id).hasMatch()) << id.toStdString();
  }
}

TEST(Guid, NoRepeatAmongAQuarterMillion) {
  std::unordered_set<std::string> seen;
  for (int i = 0; i < 250000; ++i) ASSERT_TRUE(seen.insert(platform::newGuidText().toStdString()).second) << i;
}
