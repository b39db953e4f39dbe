#include "tests/support/ScriptedDialogs.h"

ScriptedDialogs::ScriptedDialogs() = default;
ScriptedDialogs::~ScriptedDialogs() = default;

void ScriptedDialogs::informationBox(QWidget* owner, const QString& text, const QString& caption) {
  calls.push_back({DialogCall::Information, text, caption, owner, {}, {}});
}

void ScriptedDialogs::plainMessage(const QString& text) {
  calls.push_back({DialogCall::Plain, text, QString(), nullptr, {}, {}});
}

void ScriptedDialogs::startupMessage(const QString& text, const QString& caption,
                                     const QString& details) {
  calls.push_back({DialogCall::Startup, text, caption, nullptr, {}, details});
}

std::optional<QString> ScriptedDialogs::openFileName(QWidget* owner,
                                                     const platform::FileDialogOptions& o) {
  calls.push_back({DialogCall::Open, QString(), QString(), owner, o, {}});
  return nextFileAnswer();
}

std::optional<QString> ScriptedDialogs::saveFileName(QWidget* owner,
                                                     const platform::FileDialogOptions& o) {
  calls.push_back({DialogCall::Save, QString(), QString(), owner, o, {}});
  return nextFileAnswer();
}

std::optional<QString> ScriptedDialogs::nextFileAnswer() {
  std::optional<QString> answer;  // an exhausted queue cancels
  if (!fileAnswers.empty()) {
    answer.swap(fileAnswers.front());
    fileAnswers.pop_front();
  }
  return answer;
}

void ScriptedDialogs::showFailure(const QString& message) {
  calls.push_back({DialogCall::Failure, message, QString(), nullptr, {}, {}});
}

std::vector<QString> ScriptedDialogs::texts(DialogCall::Kind kind) const {
  std::vector<QString> out;
  for (const DialogCall& c : calls)
    if (c.kind == kind) out.push_back(c.text);
  return out;
}
