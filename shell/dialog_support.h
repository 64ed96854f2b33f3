#pragma once
// What every dialog of the programs needs: its template from the language
// library, its controls by numeric identifier (objectName "id<number>"; OK is
// id1, Cancel id2), handlers connected by identifier, and explicit data
// exchange between members and controls.

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>

class QDialog;

namespace orvelle {

class LanguageLibrary;

QString ControlName(int controlId);

// Fills `dialog` (a dialog, or a page that lives inside one) with template
// `templateId`: the template's controls become the dialog's, and its title and
// size are taken over. False when the library has no such template (nullptr:
// the current library).
bool LoadDialogTemplate(QWidget& dialog, int templateId, const LanguageLibrary* library = nullptr);

// GetDlgItem: nullptr when the dialog has no such control.
QWidget* DialogItem(const QWidget& dialog, int controlId);
template <class T>
T* DialogItemAs(const QWidget& dialog, int controlId) {
  return qobject_cast<T*>(DialogItem(dialog, controlId));
}

// Handlers by control identifier; each is false (and warns) when the control
// is missing or of another kind. Only the user's actions call them, as with
// the notifications of the native controls.
bool OnClicked(QWidget& dialog, int controlId, std::function<void()> handler);
bool OnSelectionChange(QWidget& dialog, int controlId, std::function<void()> handler);

// A check box or radio button by identifier. Setting lifts a radio button's
// exclusivity meanwhile, so that a group can also show none checked (a stored
// value that matches no button). Missing controls read as unchecked.
void SetButtonChecked(QWidget& dialog, int controlId, bool checked);
bool IsButtonChecked(const QWidget& dialog, int controlId);

// The status line's font of the console and the factory tool: Arial (or its
// metric twin Liberation Sans where Arial is missing), thin, underlined, with
// a character cell 32 pixels high.
QFont StatusLineFont();

// OK ends the dialog accepted, Cancel rejected, when those buttons exist.
void ConnectOkCancel(QDialog& dialog);

// One exchange between members and controls, in the direction given; a
// dialog lists its bindings in one function and runs it either way.
class DataExchange {
 public:
  enum class Direction { ToControls, FromControls };

  DataExchange(QWidget& dialog, Direction direction) : dialog_(dialog), direction_(direction) {}
  bool FromControls() const { return direction_ == Direction::FromControls; }

  // Labels, line and text edits, buttons and group boxes.
  void Text(int controlId, QString& value);
  // A decimal number in a text control; a text that is no number fails.
  void Text(int controlId, int& value);
  void Check(int controlId, bool& value);
  void ComboIndex(int controlId, int& value);
  // Sliders, scroll bars, dials and spin boxes.
  void Position(int controlId, int& value);

  // False when a control was missing or a number did not read.
  bool Ok() const { return ok_; }

 private:
  QWidget* Item(int controlId);

  QWidget& dialog_;
  const Direction direction_;
  bool ok_ = true;
};

}  // namespace orvelle
