#include <gtest/gtest.h>

#include "devlink/protocol.h"
#include "model_helpers.h"
#include "sim/report_descriptor.h"

namespace orvelle {
namespace {

using testing::AnswerPayload;
using testing::Request;
using Bytes = std::vector<uint8_t>;

Bytes NinePoints(const std::array<int16_t, 9>& x, const std::array<int16_t, 9>& y) {
  Bytes p;
  for (size_t j = 0; j < 9; ++j) {
    for (int16_t v : {x[j], y[j]}) {
      p.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) & 0xFF));
      p.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    }
  }
  return p;
}

class SimCalibrationAnswers : public ::testing::Test {
 protected:
  Bytes Ask(uint8_t code, const Bytes& payload) {
    return AnswerPayload(model.Handle(Request(kCalibrationReportId, code, payload)),
                         kCalibrationReportId, code);
  }
  CalibrationRecord StoredRecord() {
    const Bytes record = Ask(CAL_READ_DATA, {});
    EXPECT_EQ(record.size(), 41u);
    if (record.size() != 41) return {};
    return DecodeRecord(std::span<const uint8_t, 41>(record.data(), 41));
  }

  ControllerModel model;
  const std::array<int16_t, 9> userX{2040, -7, 2050, 4108, 4120, 4102, 2045, -9, -2};
  const std::array<int16_t, 9> userY{2060, 2, -4, -9, 2102, 4110, 4118, 4096, 2055};
};

// Requests in order: points are refused outside a run or in the wrong shape;
// touches in a run are raw points.
TEST_F(SimCalibrationAnswers, ModeAndRunRefuseWhatDoesNotFit) {
  const Bytes points = NinePoints(userX, userY);
  std::array<int16_t, 9> wild = userX;
  wild[3] = 9000;
  const struct {
    uint8_t code;
    Bytes request;
    uint8_t answer;
  } cases[] = {
      {CAL_GET_MODE, {}, 4},
      {CAL_SET_MODE, {3}, 1},
      {CAL_SET_MODE, {5}, 0},
      {CAL_SET_MODE, {1}, 0},
      {CAL_SET_MODE, {}, 0},
      {CAL_GET_MODE, {}, 3},
      {CAL_SET_POINTS, points, 0},  // no CAL_BEGIN yet
      {CAL_END, {1}, 0},            // nothing to keep
      {CAL_BEGIN, {}, 1},
      {CAL_SET_POINTS, Bytes(points.begin(), points.begin() + 12), 0},  // mode 3 wants 36
      {CAL_SET_POINTS, NinePoints(wild, userY), 0},
      {CAL_END, {2}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(CommandName(kCalibrationReportId, c.code));
    EXPECT_EQ(Ask(c.code, c.request), (Bytes{c.answer}));
  }
  EXPECT_FALSE(model.Pending().has_value());
  EXPECT_TRUE(model.Calibrating());  // a malformed end does not end the run
  const Bytes raw = model.TouchReport({0x0123, 0x0F80}, true);
  ASSERT_EQ(raw.size(), kCalibrationFrameLength);
  EXPECT_EQ((Bytes(raw.begin(), raw.begin() + 9)),
            (Bytes{6, CAL_RAW_POINT, 5, 7, 0x23, 0x01, 0x80, 0x0F, 0xFF}));
  EXPECT_EQ(model.TouchReport({1, 1}, false)[3], 0);  // lifted
}

// The discarded run comes first: the kept one then finds the factory record.
TEST_F(SimCalibrationAnswers, EndStoresOrDiscardsThePendingPoints) {
  for (uint8_t keep : {0, 1}) {
    SCOPED_TRACE(int{keep});
    Ask(CAL_BEGIN, {});
    EXPECT_EQ(Ask(CAL_SET_POINTS, NinePoints(userX, userY)), (Bytes{1}));
    EXPECT_EQ(StoredRecord(), ControllerState::FactoryRecord());  // pending only
    const ModelReply end = model.Handle(Request(6, CAL_END, {keep}));
    EXPECT_EQ(AnswerPayload(end, kCalibrationReportId, CAL_END), (Bytes{1}));
    EXPECT_EQ(end.stateChanged, keep == 1);
    EXPECT_FALSE(model.Calibrating());
    EXPECT_FALSE(model.Pending().has_value());
  }
  CalibrationRecord expected = ControllerState::FactoryRecord();
  expected.headerA = 4;
  expected.flags[0] = 1;
  expected.x = userX;
  expected.y = userY;
  EXPECT_EQ(StoredRecord(), expected);
}

// The run keeps the mode CAL_BEGIN saw; a mode-2 result is kept beside the
// record and leaves the record alone.
TEST_F(SimCalibrationAnswers, FourPointRunStoresAffineCoefficientsApart) {
  Ask(CAL_SET_MODE, {2});
  Ask(CAL_BEGIN, {});
  Ask(CAL_SET_MODE, {4});
  const Bytes singular = {0, 16, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0};  // A·E − B·D = 0
  EXPECT_EQ(Ask(CAL_SET_POINTS, singular), (Bytes{0}));
  // (4034, 52, 27, −30, 4044, 39)
  const Bytes coefficients = {0xC2, 0x0F, 52, 0, 27, 0, 0xE2, 0xFF, 0xCC, 0x0F, 39, 0};
  EXPECT_EQ(Ask(CAL_SET_POINTS, coefficients), (Bytes{1}));
  EXPECT_EQ(Ask(CAL_END, {1}), (Bytes{1}));

  const ControllerState& s = model.State();
  EXPECT_TRUE(s.affineActive);
  EXPECT_EQ(s.affine, (std::array<int16_t, 6>{4034, 52, 27, -30, 4044, 39}));
  EXPECT_EQ(s.record, ControllerState::FactoryRecord());
}

TEST_F(SimCalibrationAnswers, WrittenRecordIsReadBackAndBrokenOnesAreRefused) {
  const CalibrationRecord record{3, 1, {1, 0, 1}, userX, userY};
  const auto encoded = EncodeRecord(record);
  const Bytes bytes(encoded.begin(), encoded.end());
  EXPECT_EQ(Ask(CAL_WRITE_DATA, bytes), (Bytes{1}));
  EXPECT_EQ(Ask(CAL_READ_DATA, {}), bytes);

  // A truncated calibration file reads back its missing header as 0xD0.
  for (const auto& [index, value] : {std::pair{1, 0xD0}, {3, 7}}) {
    Bytes broken = bytes;
    broken[index] = value;
    EXPECT_EQ(Ask(CAL_WRITE_DATA, broken), (Bytes{0}));
  }
  EXPECT_EQ(Ask(CAL_WRITE_DATA, Bytes(bytes.begin(), bytes.end() - 1)), (Bytes{0}));
  EXPECT_EQ(StoredRecord(), record);

  EXPECT_EQ(Ask(CAL_RESET, {}), (Bytes{1}));
  EXPECT_EQ(StoredRecord(), ControllerState::FactoryRecord());
}

TEST(SimTouchGeometry, StoredCalibrationMapsRawPositionsToTheScreen) {
  ControllerState s;
  EXPECT_EQ(ApplyCalibration(s, {100, 3000}), (RawPoint{100, 3000}));
  // A frame whose raw range is 200..3800 on both axes stretches to the screen.
  s.record.x = {2000, 200, 2000, 3800, 3800, 3800, 2000, 200, 200};
  s.record.y = {2000, 200, 200, 200, 2000, 3800, 3800, 3800, 2000};
  EXPECT_EQ(ApplyCalibration(s, {200, 2000}), (RawPoint{0, 2048}));
  EXPECT_EQ(ApplyCalibration(s, {3800, 3800}), (RawPoint{4095, 4095}));
  EXPECT_EQ(ApplyCalibration(s, {0, 0}), (RawPoint{0, 0}));  // clamped
  s.affineActive = true;
  s.affine = {-4096, 0, 4095, 0, 4096, 0};  // mirrored x
  EXPECT_EQ(ApplyCalibration(s, {1000, 500}), (RawPoint{3095, 500}));
}

}  // namespace
}  // namespace orvelle
