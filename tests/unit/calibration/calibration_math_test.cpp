#include "calibration/core/calibration_math.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "calibration/core/rounding.h"

namespace orvelle {
namespace {

RawPoints Points(std::initializer_list<int> xs, std::initializer_list<int> ys) {
  RawPoints p;
  size_t i = 0;
  for (int v : xs)
    p.x[i++] = static_cast<uint16_t>(v);
  i = 0;
  for (int v : ys)
    p.y[i++] = static_cast<uint16_t>(v);
  return p;
}

using Nine = std::array<int32_t, 9>;
using Bytes = std::vector<uint8_t>;

TEST(RoundHalfUp, RoundsHalfUpAndTruncatesTowardsZero) {
  const std::pair<double, int32_t> cases[] = {
      {2.5, 3}, {2.4, 2}, {-2.5, -2}, {-3.0, -2}, {1e300, std::numeric_limits<int32_t>::max()}};
  for (const auto& [value, rounded] : cases)
    EXPECT_EQ(RoundHalfUp(value), rounded) << value;
}

// Before Windows 7 the display's rotation is left to the system.
TEST(SolveFourPoint, SkewedCornersOnEachSystemAndRotation) {
  const RawPoints p = Points({100, 4000, 3950, 140}, {90, 120, 4010, 3900});
  const Coefficients unrotated{4034, 52, 27, -30, 4044, 39};
  struct Case {
    int osClass, orientation;
    Coefficients expected;
  };
  for (const Case& c : {Case{3, 0, unrotated}, Case{3, 1, unrotated}, Case{3, 3, unrotated},
                        Case{6, 1, {-30, 4044, 39, -4033, -51, 4068}}}) {
    Coefficients found{};
    ASSERT_TRUE(SolveFourPoint(p, c.osClass, c.orientation, found));
    EXPECT_EQ(found, c.expected) << "system " << c.osClass << ", rotation " << c.orientation;
  }
}

TEST(SolveFourPoint, CollinearChosenCornersGiveNoCoefficients) {
  // The bottom-left touch landed on the top-left target again: the chosen
  // corner and one neighbour coincide.
  const RawPoints repeated = Points({127, 3968, 3968, 127}, {127, 127, 3968, 127});
  Coefficients c = kIdentityCoefficients;
  EXPECT_FALSE(SolveFourPoint(repeated, 3, 0, c));
  EXPECT_EQ(c, kIdentityCoefficients) << "output untouched";
  // All four on one line.
  const RawPoints line = Points({100, 1200, 2300, 3400}, {100, 1200, 2300, 3400});
  EXPECT_FALSE(SolveFourPoint(line, 3, 0, c));
  CalibrationResult result;
  EXPECT_FALSE(ComputeCalibration(2, line, 3, 0, result));
}

TEST(ComputeCalibration, CapturedNinePointsAreExtrapolated) {
  const RawPoints p = Points({2040, 120, 2050, 3980, 3990, 3975, 2045, 118, 125},
                             {2060, 130, 125, 122, 2100, 3985, 3990, 3970, 2055});
  CalibrationResult r;
  ASSERT_TRUE(ComputeCalibration(4, p, 3, 0, r));
  EXPECT_EQ(r.edgeX, (Nine{2040, -7, 2050, 4108, 4120, 4102, 2045, -9, -2}));
  EXPECT_EQ(r.edgeY, (Nine{2060, 2, -4, -9, 2102, 4110, 4118, 4096, 2055}));
}

TEST(ComputeCalibration, FivePointsUseCornerMidpointsAsEdgeMiddles) {
  // Capture order: centre, top left, top right, bottom right, bottom left.
  const RawPoints five = Points({2040, 120, 3980, 3975, 118}, {2060, 130, 122, 3985, 3970});
  const RawPoints nine = ExpandFivePoints(five);
  EXPECT_EQ(nine.x, (std::array<uint16_t, 9>{2040, 120, 2050, 3980, 3977, 3975, 2046, 118, 119}));
  EXPECT_EQ(nine.y, (std::array<uint16_t, 9>{2060, 130, 126, 122, 2053, 3985, 3977, 3970, 2050}));

  CalibrationResult fromFive, fromNine;
  ASSERT_TRUE(ComputeCalibration(3, five, 3, 0, fromFive));
  ASSERT_TRUE(ComputeCalibration(4, nine, 3, 0, fromNine));
  EXPECT_EQ(fromFive.edgeX, fromNine.edgeX);
  EXPECT_EQ(fromFive.edgeY, fromNine.edgeY);
  EXPECT_EQ(CalibrationPointsPayload(fromFive).size(), 36u);
}

TEST(ComputeCalibration, UpsideDownDisplayShiftsTheRingByFourSlots) {
  RawPoints p;
  for (uint16_t s = 0; s < 9; ++s) {
    p.x[s] = static_cast<uint16_t>(1000 + s);
    p.y[s] = static_cast<uint16_t>(2000 + s);
  }
  const RawPoints ring = RotateNinePoints(p, 2);
  EXPECT_EQ(ring.x,
            (std::array<uint16_t, 9>{1000, 1005, 1006, 1007, 1008, 1001, 1002, 1003, 1004}));
  EXPECT_EQ(ring.y[1], 2005) << "bottom-right capture goes to the top-left slot";
  EXPECT_EQ(RotateNinePoints(p, 0).x, p.x);
  EXPECT_EQ(RotateNinePoints(p, 1).x[1], 1003);
}

// Values go out as their low 16 bits, low byte first, in (x, y) pairs per
// slot; the frame is zero after its terminator.
TEST(BuildCalibrationPointsFrame, EnvelopeAroundTwelveOrThirtySixBytes) {
  CalibrationResult r;
  r.calMode = 2;
  r.coefficients = {4034, 52, 27, -30, 4044, -1};
  FrameBuffer frame;
  frame.fill(0xAA);
  ASSERT_TRUE(BuildCalibrationPointsFrame(frame, r));
  const Bytes head{0x06, 0x04, 12,   0xC2, 0x0F, 0x34, 0x00, 0x1B, 0x00,
                   0xE2, 0xFF, 0xCC, 0x0F, 0xFF, 0xFF, 0xFF, 0};
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 17), head);
  EXPECT_TRUE(std::all_of(frame.begin() + 16, frame.end(), [](uint8_t b) { return b == 0; }));

  r.calMode = 3;
  r.edgeX = {2048, 0, 2048, 4096, 4096, 4096, 2048, 0, -1};
  r.edgeY = {2048, 0, -1, 0, 2048, 4096, 4096, 4096, 70000};  // 70000 = 0x11170
  ASSERT_TRUE(BuildCalibrationPointsFrame(frame, r));
  EXPECT_EQ((Bytes{frame[2], frame[3], frame[4], frame[13], frame[14], frame[35], frame[36],
                   frame[37], frame[38], frame[39], frame[40]}),
            (Bytes{36, 0x00, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0xFF, 0}));

  r.calMode = 7;
  EXPECT_TRUE(CalibrationPointsPayload(r).empty());
  r.calMode = 0;
  EXPECT_FALSE(BuildCalibrationPointsFrame(frame, r));
}

}  // namespace
}  // namespace orvelle
