#pragma once
// A message-box service for tests: records every box (owner, text, caption,
// style, thread) and answers from a script, else with the default button.
// While installed it is what MessageBoxes() returns.

#include <QString>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "shell/message_boxes.h"

namespace orvelle {

struct RecordedMessageBox {
  QWidget* owner = nullptr;
  QString text;
  QString caption;
  unsigned style = 0;
  bool onWindowThread = false;
};

class RecordingMessageBoxes : public MessageBoxService {
 public:
  RecordingMessageBoxes();            // installs itself
  ~RecordingMessageBoxes() override;  // puts back what was installed before

  int Show(QWidget* owner, const QString& text, const QString& caption, unsigned style) override;

  // Answers for the next boxes, in order (kIdYes, kIdNo, ...).
  void ScriptAnswers(std::initializer_list<int> answers);
  // Runs while a box is "open", on the showing thread; a test can spin an
  // event loop here as a modal box would, or look at the state around it.
  void SetWhileOpen(std::function<void(const RecordedMessageBox&)> whileOpen);

  std::vector<RecordedMessageBox> Boxes() const;
  size_t Count() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<RecordedMessageBox> boxes_;
  std::deque<int> answers_;
  std::function<void(const RecordedMessageBox&)> whileOpen_;
  MessageBoxService* previous_ = nullptr;
};

}  // namespace orvelle
