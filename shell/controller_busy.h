#pragma once
// What the window programs say when another program holds the controller.

#include <QString>

#include "devlink/hid/bus.h"

class QWidget;

namespace orvelle {

// A box with `text`, then `holder` ("%1" the program, "%2" its process) where
// the holder is known, and Retry and Cancel. True when the user chose to try
// again.
bool AskToTryAgain(QWidget* owner, const LockHolder& holder, const QString& text,
                   const QString& holderText, const QString& caption);

}  // namespace orvelle
