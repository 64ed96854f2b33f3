#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>

#include "calibration/screen_setup.h"

namespace orvelle {
namespace {

TEST(CalibrationScreenSetup, MissingControlsAreReportedButTheRestIsPlaced) {
  QWidget dialog;
  auto* countdown = new QLabel(&dialog);
  countdown->setObjectName(QStringLiteral("id1001"));
  countdown->resize(400, 30);
  EXPECT_FALSE(MoveControls(dialog, LayoutControls(1920, 1080, TemplateSizes(dialog))));
  EXPECT_EQ(countdown->geometry(), QRect(760, 432, 400, 30));
  EXPECT_TRUE(CollectTargetRects(dialog)[0].isNull());
}

TEST(CalibrationScreenSetup, TextFontHasATwentyFourPixelCell) {
  const QFont font = TextFont();
  EXPECT_LE(QFontMetrics(font).height(), 24);
  EXPECT_GE(QFontMetrics(font).height(), 20);
  EXPECT_EQ(font.weight(), QFont::Normal);
  EXPECT_FALSE(font.italic());
}

}  // namespace
}  // namespace orvelle
