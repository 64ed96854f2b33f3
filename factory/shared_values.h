#pragma once
// What the main window's answer handler stores for the dialogs it opens; kept
// for the life of the program and overwritten by each answer.

#include <QString>

namespace orvelle {

struct FactorySharedValues {
  QString modelText;     // at most 8 characters
  int touchMaximum = 0;  // maximum supported touch count, 0..16
  int touchCount = 0;    // current touch count, 0..16
};

}  // namespace orvelle
