#pragma once
// A scripted stand-in for the program's dialogs: records every call and
// answers file dialogs from a queue. Install it for a test's lifetime:
//   ScriptedDialogs d;   // installs itself, uninstalls on destruction
#include <QString>

#include <deque>
#include <optional>
#include <vector>

#include "platform/dialogs.h"

struct DialogCall {
  enum Kind { Information, Plain, Startup, Open, Save, Failure } kind;
  QString text;
  QString caption;
  QWidget* owner = nullptr;
  platform::FileDialogOptions options;  // for Open and Save
  QString details;                      // for Startup
};

class ScriptedDialogs final : public platform::Dialogs {
 public:
  ScriptedDialogs();
  ~ScriptedDialogs() override;

  void informationBox(QWidget* owner, const QString& text, const QString& caption) override;
  void plainMessage(const QString& text) override;
  void startupMessage(const QString& text, const QString& caption, const QString& details) override;
  std::optional<QString> openFileName(QWidget* owner, const platform::FileDialogOptions& o) override;
  std::optional<QString> saveFileName(QWidget* owner, const platform::FileDialogOptions& o) override;
  void showFailure(const QString& message) override;

  // Answers for the next open/save dialogs, in order; nullopt = the user cancels.
  // An exhausted queue cancels.
  std::deque<std::optional<QString>> fileAnswers;
  std::vector<DialogCall> calls;

  // Texts of the calls of one kind, in order.
  std::vector<QString> texts(DialogCall::Kind kind) const;

 private:
  std::optional<QString> nextFileAnswer();

  platform::ScopedDialogs installed_{*this};
};
