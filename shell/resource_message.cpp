#include "shell/resource_message.h"

#include "shell/language_library.h"
#include "shell/message_boxes.h"

namespace orvelle {

int ShowResourceMessage(int textId, int captionId, unsigned style, const QString& suffix) {
  return MessageBoxes().Show(nullptr, LoadResourceString(textId) + suffix,
                             LoadResourceString(captionId), style);
}

int ShowResourceMessage(QWidget* owner, int textId, int captionId, const QString& suffix) {
  return MessageBoxes().Show(owner, LoadResourceString(textId) + suffix,
                             LoadResourceString(captionId), kMbOk);
}

}  // namespace orvelle
