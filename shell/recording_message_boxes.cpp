#include "shell/recording_message_boxes.h"

#include <QCoreApplication>
#include <QThread>

namespace orvelle {

namespace {
MessageBoxService* lastInstalled = nullptr;
}

RecordingMessageBoxes::RecordingMessageBoxes() : previous_(lastInstalled) {
  lastInstalled = this;
  SetMessageBoxes(this);
}

RecordingMessageBoxes::~RecordingMessageBoxes() {
  lastInstalled = previous_;
  SetMessageBoxes(previous_);
}

int RecordingMessageBoxes::Show(QWidget* owner, const QString& text, const QString& caption,
                                unsigned style) {
  QCoreApplication* app = QCoreApplication::instance();
  RecordedMessageBox box{owner, text, caption, style,
                         app && QThread::currentThread() == app->thread()};
  int answer = DefaultMessageBoxResult(style);
  std::function<void(const RecordedMessageBox&)> whileOpen;
  {
    std::lock_guard lock(mutex_);
    boxes_.push_back(box);
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    whileOpen = whileOpen_;
  }
  if (whileOpen) whileOpen(box);
  return answer;
}

void RecordingMessageBoxes::ScriptAnswers(std::initializer_list<int> answers) {
  std::lock_guard lock(mutex_);
  answers_.insert(answers_.end(), answers.begin(), answers.end());
}

void RecordingMessageBoxes::SetWhileOpen(std::function<void(const RecordedMessageBox&)> whileOpen) {
  std::lock_guard lock(mutex_);
  whileOpen_ = std::move(whileOpen);
}

std::vector<RecordedMessageBox> RecordingMessageBoxes::Boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

size_t RecordingMessageBoxes::Count() const {
  std::lock_guard lock(mutex_);
  return boxes_.size();
}

void RecordingMessageBoxes::Clear() {
  std::lock_guard lock(mutex_);
  boxes_.clear();
  answers_.clear();
}

}  // namespace orvelle
