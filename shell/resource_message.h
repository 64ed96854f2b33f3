#pragma once
// ShowResourceMessage: a message box whose text is a string of the current
// language library followed by a suffix, and whose caption is another string.
// A missing string gives an empty text.

#include <QString>

#include "shell/message_style.h"

class QWidget;

namespace orvelle {

// The console's form: no owner window, the style as given.
int ShowResourceMessage(int textId, int captionId, unsigned style, const QString& suffix);

// The calibration program's form: owned by the dialog, OK only, no icon.
int ShowResourceMessage(QWidget* owner, int textId, int captionId, const QString& suffix);

}  // namespace orvelle
