#include "shell/controller_busy.h"

#include "shell/message_boxes.h"

namespace orvelle {

bool AskToTryAgain(QWidget* owner, const LockHolder& holder, const QString& text,
                   const QString& holderText, const QString& caption) {
  QString shown = text;
  if (holder.pid != 0) {
    shown += QStringLiteral("\n\n") +
             holderText.arg(QString::fromStdString(holder.program)).arg(holder.pid);
  }
  return MessageBoxes().Show(owner, shown, caption, kMbRetryCancel | kMbIconWarning) == kIdRetry;
}

}  // namespace orvelle
