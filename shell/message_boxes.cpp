#include "shell/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvelle {

namespace {

std::atomic<MessageBoxService*> installed{nullptr};

QMessageBox::Icon IconFor(unsigned style) {
  switch (style & kMbIconMask) {
    case kMbIconError:
      return QMessageBox::Critical;
    case kMbIconQuestion:
      return QMessageBox::Question;
    case kMbIconWarning:
      return QMessageBox::Warning;
    case kMbIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int ShowOnThisThread(QWidget* owner, const QString& text, const QString& caption, unsigned style) {
  QMessageBox box(IconFor(style), caption, text, QMessageBox::NoButton, owner);
  // Texts may carry a suffix from a file or the controller: never rich text.
  box.setTextFormat(Qt::PlainText);
  switch (style & kMbButtonsMask) {
    case kMbYesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(QMessageBox::Yes);
      break;
    case kMbOkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Ok);
      break;
    case kMbRetryCancel:
      box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
      box.setDefaultButton(QMessageBox::Cancel);
      break;
    default:
      box.setStandardButtons(QMessageBox::Ok);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Yes:
      return kIdYes;
    case QMessageBox::No:
      return kIdNo;
    case QMessageBox::Cancel:
      return kIdCancel;
    case QMessageBox::Retry:
      return kIdRetry;
    default:
      return kIdOk;
  }
}

}  // namespace

int QtMessageBoxes::Show(QWidget* owner, const QString& text, const QString& caption,
                         unsigned style) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    return ShowOnThisThread(owner, text, caption, style);
  }
  // Widgets live on the window thread only; a caller elsewhere waits for the
  // box there. (With the answer dispatcher no handler runs elsewhere.)
  int result = kIdOk;
  QMetaObject::invokeMethod(
      app, [&] { result = ShowOnThisThread(owner, text, caption, style); },
      Qt::BlockingQueuedConnection);
  return result;
}

int LoggingMessageBoxes::Show(QWidget*, const QString& text, const QString& caption,
                              unsigned style) {
  // UTF-8 on every system: Windows' 8-bit code page cannot hold the Chinese
  // packs' texts, and what reads this log reads UTF-8.
  std::fprintf(stderr, "%s: %s\n", caption.toUtf8().constData(), text.toUtf8().constData());
  std::fflush(stderr);
  return DefaultMessageBoxResult(style);
}

MessageBoxService& MessageBoxes() {
  if (MessageBoxService* service = installed.load()) return *service;
  static LoggingMessageBoxes logging;
  static QtMessageBoxes real;
  static const bool log = [] {
    const char* mode = std::getenv("ORVELLE_MESSAGE_BOXES");
    return mode && std::strcmp(mode, "log") == 0;
  }();
  if (log) return logging;
  return real;
}

void SetMessageBoxes(MessageBoxService* service) {
  installed.store(service);
}

}  // namespace orvelle
