#include "factory/dialog_layout.h"

#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cstdint>

#include "factory/factory_icon.h"
#include "shell/dialog_support.h"

namespace orvelle::factory {

namespace {

QStringList FamilyChain(const QString& face) {
  return {face,
          QStringLiteral("SimSun"),
          QStringLiteral("NSimSun"),
          QStringLiteral("WenQuanYi Micro Hei"),
          QStringLiteral("Noto Sans CJK SC"),
          QStringLiteral("Source Han Sans SC")};
}

QWidget* CreateControl(QDialog& dialog, const DialogControl& control) {
  const QString text = QString::fromUtf16(control.text);
  switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      auto* button = new QPushButton(text, &dialog);
      button->setDefault(control.kind == ControlKind::DefPushButton);
      return button;
    }
    case ControlKind::Radio:
      return new QRadioButton(text, &dialog);
    case ControlKind::Static: {
      auto* label = new QLabel(text, &dialog);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
    case ControlKind::Edit:
    case ControlKind::ReadOnlyEdit: {
      auto* edit = new QLineEdit(text, &dialog);
      edit->setReadOnly(control.kind == ControlKind::ReadOnlyEdit);
      return edit;
    }
    case ControlKind::GroupBox:
      return new QGroupBox(text, &dialog);
    case ControlKind::Icon: {
      auto* label = new QLabel(&dialog);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
  }
  return nullptr;
}

// A substituted font can be wider than the one the table was drawn for; a
// label or radio caption then grows to its text rather than being clipped.
bool GrowsToText(ControlKind kind) {
  return kind == ControlKind::Static || kind == ControlKind::Radio;
}

}  // namespace

QFont DialogFont(const QString& face, int pointSize) {
  const QStringList installed = QFontDatabase::families();
  QString family = face;
  for (const QString& candidate : FamilyChain(face)) {
    if (installed.contains(candidate, Qt::CaseInsensitive)) {
      family = candidate;
      break;
    }
  }
  QFont font(family);
  font.setPointSize(pointSize);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(width / 26 + 1) / 2, metrics.height()};
}

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const int64_t product = static_cast<int64_t>(number) * numerator;
  const int64_t half = (denominator < 0 ? -denominator : denominator) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude = (product < 0 ? -product : product) + half;
  const int64_t quotient = magnitude / (denominator < 0 ? -denominator : denominator);
  return static_cast<int>(negative ? -quotient : quotient);
}

QRect DialogToPixels(const QRect& dialogUnits, DialogBaseUnits units) {
  return {MulDiv(dialogUnits.x(), units.x, 4), MulDiv(dialogUnits.y(), units.y, 8),
          MulDiv(dialogUnits.width(), units.x, 4), MulDiv(dialogUnits.height(), units.y, 8)};
}

QSize DialogToPixels(const QSize& dialogUnits, DialogBaseUnits units) {
  return {MulDiv(dialogUnits.width(), units.x, 4), MulDiv(dialogUnits.height(), units.y, 8)};
}

DialogBaseUnits BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate,
                            std::span<const DialogControl> controls) {
  const QFont font = DialogFont(QString::fromUtf16(dialogTemplate.face), dialogTemplate.pointSize);
  dialog.setFont(font);
  const DialogBaseUnits units = BaseUnitsOf(font);
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (dialogTemplate.minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
  dialog.setWindowFlags(flags);
  dialog.setWindowTitle(QString::fromUtf16(dialogTemplate.caption));
  dialog.setFixedSize(DialogToPixels(dialogTemplate.size, units));

  for (const DialogControl& row : controls) {
    QWidget* control = CreateControl(dialog, row);
    if (row.id != 0) control->setObjectName(ControlName(row.id));
    QRect at = DialogToPixels(row.at, units);
    if (GrowsToText(row.kind)) at.setWidth(std::max(at.width(), control->sizeHint().width()));
    control->setGeometry(at);
    if (row.kind == ControlKind::Icon) {
      static_cast<QLabel*>(control)->setPixmap(AppIcon().pixmap(at.size()));
    }
  }
  return units;
}

}  // namespace orvelle::factory
