#pragma once
// Steps of the calibration dialog's initialisation that place, dress and
// measure the controls of its template. Controls are found by their object
// names "id<number>" (id1000 instruction, id1001 count-down, id1 OK, id2
// Cancel, id1002..id1010 the target areas of slots 0..8).

#include <QFont>
#include <QIcon>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "calibration/core/screen_layout.h"
#include "calibration/core/target_sequence.h"

namespace orvelle {

class XPImageButton;

// The screen a "--screen" value names, by name or number; nullptr for none or
// one that is not there (the run then takes the primary screen).
QScreen* ChosenScreen(const std::optional<std::string>& wanted);

// The rotation of `screen` from its natural position as its window system
// reports it, in the display-orientation numbering (0..3).
int DisplayOrientation(const QScreen& screen);

inline constexpr int kInstructionId = 1000;
inline constexpr int kCountdownId = 1001;
inline constexpr int kOkId = 1;
inline constexpr int kCancelId = 2;
inline constexpr int kFirstTargetId = 1002;

QWidget* FindControl(const QWidget& dialog, int id);

// The template's sizes; every target takes the first one's.
ControlSizes TemplateSizes(const QWidget& dialog);

// Moves the dialog and its controls to `layout`. False when a control is missing
// (the others are still placed).
bool MoveControls(QWidget& dialog, const ScreenLayout& layout);

// Target areas in the dialog's coordinates, by slot; empty for a missing one.
std::array<QRect, kTargetSlots> CollectTargetRects(const QWidget& dialog);

// Arial with a 24-pixel cell height, normal weight; CJK-capable fallbacks.
QFont TextFont();
void SetupFonts(QWidget& dialog, const QFont& font);

// Puts an image button in place of the template's push button `id`: same
// parent, name, place, caption and default role. nullptr when the template
// has no such button.
XPImageButton* AttachImageButton(QWidget& dialog, int id);

void SetupButton(XPImageButton& button, const QIcon& icon);

// Light-grey surface; edit-type controls get blue text on it.
void ApplyControlColours(QWidget& dialog);

}  // namespace orvelle
