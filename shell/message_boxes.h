#pragma once
// The message-box service behind every box the programs show, so tests can
// record and answer them and unattended runs can log them.

#include <QString>

#include "shell/message_style.h"

class QWidget;

namespace orvelle {

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  // As MessageBoxA: `owner` may be null; `style` combines one kMb button set
  // and one kMb icon; returns the kId of the button pressed.
  virtual int Show(QWidget* owner, const QString& text, const QString& caption, unsigned style) = 0;
};

// Real boxes (QMessageBox), modal, on the window thread.
class QtMessageBoxes : public MessageBoxService {
 public:
  int Show(QWidget* owner, const QString& text, const QString& caption, unsigned style) override;
};

// Prints "caption: text" to stderr and answers with the default button; for
// unattended and end-to-end runs (ORVELLE_MESSAGE_BOXES=log).
class LoggingMessageBoxes : public MessageBoxService {
 public:
  int Show(QWidget* owner, const QString& text, const QString& caption, unsigned style) override;
};

// The service in use: the one installed with SetMessageBoxes, else the one
// the environment chooses (real boxes unless ORVELLE_MESSAGE_BOXES=log).
MessageBoxService& MessageBoxes();
// nullptr goes back to the environment's choice. The caller keeps ownership.
void SetMessageBoxes(MessageBoxService* service);

}  // namespace orvelle
