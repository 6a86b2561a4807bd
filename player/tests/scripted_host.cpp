#include "scripted_host.h"

#include <unistd.h>

#include <cstdio>

#include "calendo/client/runtime_error.h"
#include "journal.h"
#include "platform/dialogs.h"

namespace calendo::testing {
namespace {

QString Answer(std::deque<std::optional<QString>>& answers) {
  std::optional<QString> answer;
  if (!answers.empty()) {
    answer = answers.front();
    answers.pop_front();
  }
  if (!answer) Raise(kErrDialogCancelled);
  return *answer;
}

}  // namespace

int32_t ScriptedHost::MsgBox(const QString& text, int32_t style, const QString& title) {
  boxes.push_back({text, style, title});
  QString line = QStringLiteral("MsgBox %1 %2|%3").arg(style).arg(title, text);
  line.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
  JournalWrite(line.toUtf8().constData());
  if (box_answers.empty()) return platform::message_box_default_answer(style);
  const int32_t answer = box_answers.front();
  box_answers.pop_front();
  return answer;
}

QString ScriptedHost::ShowOpen(const FileDialogRequest& request) {
  open_requests.push_back(request);
  return Answer(open_answers);
}

QString ScriptedHost::ShowSave(const FileDialogRequest& request) {
  save_requests.push_back(request);
  return Answer(save_answers);
}

std::optional<QString> ScriptedHost::AskText(const QString& prompt, const QString& /*title*/) {
  text_prompts.push_back(prompt);
  if (text_answers.empty()) return std::nullopt;
  const bool given = text_answers.front().has_value();
  const QString text = given ? *text_answers.front() : QString();
  text_answers.pop_front();
  if (!given) return std::nullopt;
  return text;
}

void ScriptedHost::EndProcessNow() {
  JournalWrite("EndProcess");
  std::fflush(nullptr);
  _exit(exit_code);
}

}  // namespace calendo::testing
