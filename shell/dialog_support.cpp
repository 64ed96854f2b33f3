#include "shell/dialog_support.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/language_library.h"

namespace orvelle {

namespace {

template <class T>
T* Find(QWidget& dialog, int controlId, const char* kind) {
  QWidget* item = DialogItem(dialog, controlId);
  T* typed = qobject_cast<T*>(item);
  if (!typed) {
    qWarning("dialog %s: control %d %s", qPrintable(dialog.objectName()), controlId,
             item ? qPrintable(QStringLiteral("is not a %1").arg(kind)) : "is missing");
  }
  return typed;
}

}  // namespace

QString ControlName(int controlId) {
  return QStringLiteral("id%1").arg(controlId);
}

bool LoadDialogTemplate(QWidget& dialog, int templateId, const LanguageLibrary* library) {
  if (!library) library = CurrentLanguageLibrary();
  QWidget* content = library ? library->Template(templateId, &dialog) : nullptr;
  if (!content) return false;
  dialog.setWindowTitle(content->windowTitle());
  if (!content->windowIcon().isNull()) dialog.setWindowIcon(content->windowIcon());
  // Without margins the controls keep the template's coordinates, which the
  // programs rely on when they place controls themselves.
  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(content);
  dialog.resize(content->size());
  return true;
}

QWidget* DialogItem(const QWidget& dialog, int controlId) {
  return dialog.findChild<QWidget*>(ControlName(controlId));
}

bool OnClicked(QWidget& dialog, int controlId, std::function<void()> handler) {
  auto* button = Find<QAbstractButton>(dialog, controlId, "button");
  if (!button) return false;
  QObject::connect(button, &QAbstractButton::clicked, &dialog, [h = std::move(handler)] { h(); });
  return true;
}

bool OnSelectionChange(QWidget& dialog, int controlId, std::function<void()> handler) {
  auto* combo = Find<QComboBox>(dialog, controlId, "combo box");
  if (!combo) return false;
  QObject::connect(combo, &QComboBox::activated, &dialog, [h = std::move(handler)] { h(); });
  return true;
}

void SetButtonChecked(QWidget& dialog, int controlId, bool checked) {
  auto* button = DialogItemAs<QAbstractButton>(dialog, controlId);
  if (!button) return;
  const bool exclusive = button->autoExclusive();
  button->setAutoExclusive(false);
  button->setChecked(checked);
  button->setAutoExclusive(exclusive);
}

bool IsButtonChecked(const QWidget& dialog, int controlId) {
  const auto* button = DialogItemAs<QAbstractButton>(dialog, controlId);
  return button && button->isChecked();
}

QFont StatusLineFont() {
  constexpr int kCellHeight = 32;
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setWeight(QFont::Thin);
  font.setUnderline(true);
  // The height asked for is the cell (ascent plus descent), not the em.
  font.setPixelSize(kCellHeight);
  const int cell = QFontMetrics(font).height();
  if (cell > 0) font.setPixelSize(std::max(1, (kCellHeight * kCellHeight + cell / 2) / cell));
  return font;
}

void ConnectOkCancel(QDialog& dialog) {
  if (auto* ok = DialogItemAs<QAbstractButton>(dialog, 1)) {
    QObject::connect(ok, &QAbstractButton::clicked, &dialog, &QDialog::accept);
  }
  if (auto* cancel = DialogItemAs<QAbstractButton>(dialog, 2)) {
    QObject::connect(cancel, &QAbstractButton::clicked, &dialog, &QDialog::reject);
  }
}

QWidget* DataExchange::Item(int controlId) {
  QWidget* item = DialogItem(dialog_, controlId);
  if (!item) {
    qWarning("data exchange: control %d is missing", controlId);
    ok_ = false;
  }
  return item;
}

void DataExchange::Text(int controlId, QString& value) {
  QWidget* item = Item(controlId);
  if (!item) return;
  const bool from = FromControls();
  if (auto* label = qobject_cast<QLabel*>(item)) {
    from ? void(value = label->text()) : label->setText(value);
  } else if (auto* line = qobject_cast<QLineEdit*>(item)) {
    from ? void(value = line->text()) : line->setText(value);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(item)) {
    from ? void(value = plain->toPlainText()) : plain->setPlainText(value);
  } else if (auto* rich = qobject_cast<QTextEdit*>(item)) {
    from ? void(value = rich->toPlainText()) : rich->setPlainText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(item)) {
    from ? void(value = button->text()) : button->setText(value);
  } else if (auto* group = qobject_cast<QGroupBox*>(item)) {
    from ? void(value = group->title()) : group->setTitle(value);
  } else {
    qWarning("data exchange: control %d holds no text", controlId);
    ok_ = false;
  }
}

void DataExchange::Text(int controlId, int& value) {
  QString text = QString::number(value);
  Text(controlId, text);
  if (!FromControls()) return;
  bool parsed = false;
  const int number = text.trimmed().toInt(&parsed);
  if (parsed) {
    value = number;
  } else {
    ok_ = false;
  }
}

void DataExchange::Check(int controlId, bool& value) {
  auto* button = Find<QAbstractButton>(dialog_, controlId, "button");
  if (!button) {
    ok_ = false;
  } else if (FromControls()) {
    value = button->isChecked();
  } else {
    button->setChecked(value);
  }
}

void DataExchange::ComboIndex(int controlId, int& value) {
  auto* combo = Find<QComboBox>(dialog_, controlId, "combo box");
  if (!combo) {
    ok_ = false;
  } else if (FromControls()) {
    value = combo->currentIndex();
  } else {
    combo->setCurrentIndex(value);
  }
}

void DataExchange::Position(int controlId, int& value) {
  QWidget* item = Item(controlId);
  if (auto* slider = qobject_cast<QAbstractSlider*>(item)) {
    FromControls() ? void(value = slider->value()) : slider->setValue(value);
  } else if (auto* spin = qobject_cast<QSpinBox*>(item)) {
    FromControls() ? void(value = spin->value()) : spin->setValue(value);
  } else if (item) {
    qWarning("data exchange: control %d has no position", controlId);
    ok_ = false;
  }
}

}  // namespace orvelle
