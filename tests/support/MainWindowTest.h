#pragma once
// A fixture with a shown main window connected to a database of its own.
// The scripted dialogs are installed before the window exists. A fixture that
// must fill the database or the program folder before start-up does so in
// prepare(), which runs before the window is made.
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "app/UCheckEdit.h"
#include "cell/Sheet.h"
#include "cell/TCell.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestDatabase.h"

class MainWindowTest : public ::testing::Test {
 protected:
  explicit MainWindowTest(TestDatabase::Content content = TestDatabase::Content::Empty,
                          const QString& driver = kUnicodeDriver)
      : db(content, driver) {}

  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    prepare();
    db.writeStatisticsIni(dir.path());
    window = std::make_unique<TFmCheckEdit>(dir.path());
    ASSERT_TRUE(window->dbConnected());
    window->show();
  }

  virtual void prepare() {}

  const cell::Sheet& sheet() { return window->cell().sheet(); }

  ScriptedDialogs dialogs;  // first: installed before the window exists
  TestDatabase db;
  QTemporaryDir dir;
  std::unique_ptr<TFmCheckEdit> window;
};
