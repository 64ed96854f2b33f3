#pragma once
// Colours of the calibration screen.

#include <QColor>

namespace orvelle {

inline const QColor kScreenBackground{224, 224, 224};
inline const QColor kActiveTargetColour{255, 0, 255};
inline const QColor kFinishedTargetColour{128, 128, 128};
inline const QColor kEditTextColour{0, 0, 224};
inline const QColor kButtonFace{110, 155, 215};
inline const QColor kButtonFacePressed{90, 135, 155};

}  // namespace orvelle
