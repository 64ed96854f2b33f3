#pragma once
// The factory tool's dialogs are laid out from tables in dialog units, as
// their templates give them. One conversion turns those into pixels the way
// Windows does for the dialog's font, so every window keeps the proportions
// of its table whatever font the system substitutes.

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <span>

class QDialog;
class QWidget;

namespace orvelle::factory {

// Horizontal: average width of the 52 Latin letters, rounded; vertical: the
// font's height. A dialog unit is a quarter of the first, an eighth of the second.
struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// `face` in `pointSize`, or the first family of a CJK fallback chain that the
// system has ("宋体" is rarely installed outside Chinese Windows).
QFont DialogFont(const QString& face, int pointSize);
DialogBaseUnits BaseUnitsOf(const QFont& font);

// As Windows' MulDiv: rounded to nearest, halves away from zero.
int MulDiv(int number, int numerator, int denominator);
QRect DialogToPixels(const QRect& dialogUnits, DialogBaseUnits units);
QSize DialogToPixels(const QSize& dialogUnits, DialogBaseUnits units);

enum class ControlKind {
  PushButton,
  DefPushButton,
  Radio,  // automatic; the radios of one dialog form one group
  Static,
  Edit,
  ReadOnlyEdit,
  GroupBox,
  Icon,  // the application icon
};

struct DialogControl {
  ControlKind kind = ControlKind::Static;
  int id = 0;  // 0: a static without an identifier
  const char16_t* text = u"";
  QRect at;  // dialog units
};

struct DialogTemplate {
  const char16_t* caption = u"";
  QSize size;  // client area, dialog units
  const char16_t* face = u"";
  int pointSize = 9;
  bool minimizeBox = false;
};

// Sets the dialog's font, caption and fixed client size, and creates the
// controls in table order, which is also their tab order. Returns the base
// units the layout used.
DialogBaseUnits BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate,
                            std::span<const DialogControl> controls);

}  // namespace orvelle::factory
