#pragma once
// The calibration computation: raw controller positions of the targets in,
// either an affine correction (four targets) or the raw positions of the
// screen's centre, edge middles and corners (five or nine targets) out.
// Controller units run 0..4095 per axis; targets sit at 1/32 and 31/32 of the
// screen, i.e. at 127 and 3968.

#include <array>
#include <cstdint>
#include <vector>

#include "devlink/frame.h"

namespace orvelle {

inline constexpr int kNearEdge = 127;
inline constexpr int kFarEdge = 3968;
inline constexpr int kFixedPointScale = 4096;
inline constexpr int kOsClassRotationAware = 6;

// Raw positions indexed by target in capture order (or by slot once expanded).
struct RawPoints {
  std::array<uint16_t, 9> x{};
  std::array<uint16_t, 9> y{};
};

// x' = (A x + B y) / 4096 + C, y' = (D x + E y) / 4096 + F.
using Coefficients = std::array<int32_t, 6>;
inline constexpr Coefficients kIdentityCoefficients{4096, 0, 0, 0, 4096, 0};

struct CalibrationResult {
  int calMode = 0;
  Coefficients coefficients{};     // mode 2
  std::array<int32_t, 9> edgeX{};  // modes 3 and 4, slot order; may leave 0..4095
  std::array<int32_t, 9> edgeY{};
};

// Twice the dot product of the two edges meeting at corner i of the
// quadrilateral p[0..3]; 0 for a right angle.
int64_t CornerSkew(const RawPoints& p, int i);

// Mode 2: solves the affine map from the most nearly square corner and its two
// neighbours. False when those three points lie on one line (or the map is too
// steep to hold in 32 bits): no coefficients exist then.
bool SolveFourPoint(const RawPoints& p, int osClass, int orientation, Coefficients& out);

// Mode 3: centre and four corners (capture order) to the nine-slot order, the
// edge middles being midpoints of the neighbouring corners.
RawPoints ExpandFivePoints(const RawPoints& captured);

// Shifts the outer ring by two slots per quarter turn of the display.
RawPoints RotateNinePoints(const RawPoints& points, int orientation);

// Moves the targets from 1/32 inside the screen out onto its edges and corners.
void ExtrapolateNinePoints(const RawPoints& ring, std::array<int32_t, 9>& edgeX,
                           std::array<int32_t, 9>& edgeY);

// False only in mode 2 when SolveFourPoint finds no map, or for an unknown mode.
bool ComputeCalibration(int calMode, const RawPoints& points, int osClass, int orientation,
                        CalibrationResult& out);

// Payload of CAL_SET_POINTS: 12 bytes (mode 2) or 36 bytes (modes 3, 4), each
// value as its low 16 bits, low byte first. Empty for an unknown mode.
std::vector<uint8_t> CalibrationPointsPayload(const CalibrationResult& result);

// The whole CAL_SET_POINTS calibration frame; false for an unknown mode.
bool BuildCalibrationPointsFrame(FrameBuffer& frame, const CalibrationResult& result);

}  // namespace orvelle
