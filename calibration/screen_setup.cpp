#include "calibration/screen_setup.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

#include "calibration/core/screen_choice.h"
#include "calibration/core/start_up.h"
#include "calibration/screen_colours.h"
#include "calibration/xp_image_button.h"

namespace orvelle {
namespace {

constexpr int kTextCellHeight = 24;

PixelSize SizeOf(const QWidget* control) {
  return control ? PixelSize{control->width(), control->height()} : PixelSize{};
}

QRect ToQRect(const PixelRect& r) {
  return QRect(r.x, r.y, r.width, r.height);
}

bool Place(const QWidget& dialog, int id, const PixelRect& r) {
  QWidget* control = FindControl(dialog, id);
  if (!control) return false;
  control->setGeometry(ToQRect(r));
  control->update();
  return true;
}

std::optional<int> QuarterTurnsFromLandscape(Qt::ScreenOrientation orientation) {
  switch (orientation) {
    case Qt::LandscapeOrientation:
      return 0;
    case Qt::PortraitOrientation:
      return 1;
    case Qt::InvertedLandscapeOrientation:
      return 2;
    case Qt::InvertedPortraitOrientation:
      return 3;
    default:
      return std::nullopt;
  }
}

}  // namespace

QScreen* ChosenScreen(const std::optional<std::string>& wanted) {
  if (!wanted) return nullptr;
  const QList<QScreen*> screens = QGuiApplication::screens();
  std::vector<std::string> names;
  for (const QScreen* screen : screens)
    names.push_back(screen->name().toStdString());
  if (const auto index = FindScreen(names, *wanted)) return screens[static_cast<int>(*index)];
  qWarning("No screen \"%s\"; calibrating on the primary screen", wanted->c_str());
  return nullptr;
}

QWidget* FindControl(const QWidget& dialog, int id) {
  return dialog.findChild<QWidget*>(QStringLiteral("id%1").arg(id));
}

ControlSizes TemplateSizes(const QWidget& dialog) {
  return {SizeOf(FindControl(dialog, kFirstTargetId)), SizeOf(FindControl(dialog, kInstructionId)),
          SizeOf(FindControl(dialog, kCountdownId)), SizeOf(FindControl(dialog, kOkId)),
          SizeOf(FindControl(dialog, kCancelId))};
}

int DisplayOrientation(const QScreen& screen) {
  ScreenReport report;
  report.orientation = QuarterTurnsFromLandscape(screen.orientation());
  report.native = QuarterTurnsFromLandscape(screen.nativeOrientation());
  report.numberedFromPanelShape =
      QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  report.width = screen.geometry().width();
  report.height = screen.geometry().height();
  report.physicalWidth = screen.physicalSize().width();
  report.physicalHeight = screen.physicalSize().height();
  return DisplayOrientationFrom(report);
}

bool MoveControls(QWidget& dialog, const ScreenLayout& layout) {
  dialog.setGeometry(ToQRect(layout.window));
  bool all = true;
  for (int s = 0; s < kTargetSlots; ++s)
    all &= Place(dialog, kFirstTargetId + s, layout.targets[s]);
  all &= Place(dialog, kInstructionId, layout.instruction);
  all &= Place(dialog, kCountdownId, layout.countdown);
  all &= Place(dialog, kOkId, layout.ok);
  all &= Place(dialog, kCancelId, layout.cancel);
  return all;
}

std::array<QRect, kTargetSlots> CollectTargetRects(const QWidget& dialog) {
  std::array<QRect, kTargetSlots> rects{};
  for (int s = 0; s < kTargetSlots; ++s) {
    if (const QWidget* target = FindControl(dialog, kFirstTargetId + s)) {
      rects[s] = QRect(target->mapTo(&dialog, QPoint(0, 0)), target->size());
    }
  }
  return rects;
}

QFont TextFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("Nimbus Sans"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC")});
  font.setStyleHint(QFont::SansSerif);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  // The height given is the character cell (ascent plus descent), not the em.
  int pixelSize = kTextCellHeight;
  font.setPixelSize(pixelSize);
  while (pixelSize > 8 && QFontMetrics(font).height() > kTextCellHeight) {
    font.setPixelSize(--pixelSize);
  }
  return font;
}

void SetupFonts(QWidget& dialog, const QFont& font) {
  for (int id : {kInstructionId, kCountdownId, kOkId, kCancelId}) {
    if (QWidget* control = FindControl(dialog, id)) control->setFont(font);
  }
}

XPImageButton* AttachImageButton(QWidget& dialog, int id) {
  auto* original = qobject_cast<QPushButton*>(FindControl(dialog, id));
  if (!original) return nullptr;
  if (auto* attached = qobject_cast<XPImageButton*>(original)) return attached;
  auto* button = new XPImageButton(original->parentWidget());
  button->setObjectName(original->objectName());
  button->setGeometry(original->geometry());
  button->setText(original->text());
  button->setFont(original->font());
  button->setDefault(original->isDefault());
  button->setAutoDefault(original->autoDefault());
  button->setFocusPolicy(original->focusPolicy());
  button->setVisible(!original->isHidden());
  QWidget::setTabOrder(original, button);
  delete original;
  return button;
}

void SetupButton(XPImageButton& button, const QIcon& icon) {
  button.SetIcon(icon);
  button.SetImageAlign(ImageButton::kImageLeft);
  button.SetFlat(true);
  button.SetRounded(true);
  button.SetFlatFocus(true);
  button.SetColor(ImageButton::kFaceIn, kButtonFace);
  button.SetColor(ImageButton::kFaceOut, kButtonFace);
  button.SetColor(ImageButton::kFaceFocus, kButtonFacePressed);
}

void ApplyControlColours(QWidget& dialog) {
  QPalette surface = dialog.palette();
  surface.setColor(QPalette::Window, kScreenBackground);
  dialog.setPalette(surface);
  dialog.setAutoFillBackground(true);

  const auto edits = dialog.findChildren<QWidget*>();
  for (QWidget* control : edits) {
    if (!qobject_cast<QLineEdit*>(control) && !qobject_cast<QTextEdit*>(control) &&
        !qobject_cast<QPlainTextEdit*>(control)) {
      continue;
    }
    QPalette edit = control->palette();
    edit.setColor(QPalette::Text, kEditTextColour);
    edit.setColor(QPalette::Base, Qt::transparent);
    control->setPalette(edit);
  }
}

}  // namespace orvelle
