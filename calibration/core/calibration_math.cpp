#include "calibration/core/calibration_math.h"

#include <cstdlib>

#include "calibration/core/rounding.h"
#include "devlink/protocol.h"

namespace orvelle {
namespace {

struct Corner {
  int x, y;
};

// Where the four corner targets (top left, top right, bottom right, bottom
// left as the user sees them) lie in controller units, per display rotation.
constexpr std::array<std::array<Corner, 4>, 4> kReferenceCorners{{
    {{{kNearEdge, kNearEdge}, {kFarEdge, kNearEdge}, {kFarEdge, kFarEdge}, {kNearEdge, kFarEdge}}},
    {{{kNearEdge, kFarEdge}, {kNearEdge, kNearEdge}, {kFarEdge, kNearEdge}, {kFarEdge, kFarEdge}}},
    {{{kFarEdge, kFarEdge}, {kNearEdge, kFarEdge}, {kNearEdge, kNearEdge}, {kFarEdge, kNearEdge}}},
    {{{kFarEdge, kNearEdge}, {kFarEdge, kFarEdge}, {kNearEdge, kFarEdge}, {kNearEdge, kNearEdge}}},
}};

int QuarterTurns(int orientation) {
  return ((orientation % 4) + 4) % 4;
}

int64_t Square(int64_t v) {
  return v * v;
}

int MostNearlySquareCorner(const RawPoints& p) {
  int best = 0;
  int64_t bestSkew = std::llabs(CornerSkew(p, 0));
  for (int i = 1; i < 4; ++i) {
    const int64_t skew = std::llabs(CornerSkew(p, i));
    if (skew < bestSkew) {
      best = i;
      bestSkew = skew;
    }
  }
  return best;
}

// Moves p away from q by a fifteenth of their distance: the outer targets lie
// 15/32 of the screen from the point further in and 1/32 from the edge.
int32_t Outwards(int32_t p, int32_t q) {
  return p - (q - p) / 15;
}

void PutLittleEndian16(std::vector<uint8_t>& bytes, int32_t value) {
  bytes.push_back(LowByte(value));
  bytes.push_back(HighByte(value));
}

}  // namespace

int64_t CornerSkew(const RawPoints& p, int i) {
  const int prev = (i + 3) % 4;
  const int next = (i + 1) % 4;
  const int64_t xi = p.x[i], yi = p.y[i];
  const int64_t xp = p.x[prev], yp = p.y[prev];
  const int64_t xn = p.x[next], yn = p.y[next];
  return Square(xp - xi) + Square(yp - yi) + Square(xn - xi) + Square(yn - yi) - Square(xp - xn) -
         Square(yp - yn);
}

bool SolveFourPoint(const RawPoints& p, int osClass, int orientation, Coefficients& out) {
  const auto& ref =
      kReferenceCorners[osClass == kOsClassRotationAware ? QuarterTurns(orientation) : 0];
  const int k = MostNearlySquareCorner(p);
  const int a = (k + 3) % 4;
  const int b = (k + 1) % 4;

  const int64_t dXak = int64_t{p.x[a]} - p.x[k], dYak = int64_t{p.y[a]} - p.y[k];
  const int64_t dXkb = int64_t{p.x[k]} - p.x[b], dYkb = int64_t{p.y[k]} - p.y[b];
  const int64_t dSXak = ref[a].x - ref[k].x, dSXkb = ref[k].x - ref[b].x;
  const int64_t dSYak = ref[a].y - ref[k].y, dSYkb = ref[k].y - ref[b].y;
  const int64_t det = dXak * dYkb - dXkb * dYak;
  if (det == 0) return false;

  const double scale = kFixedPointScale;
  const double detD = static_cast<double>(det);
  const double A = scale * static_cast<double>(dSXak * dYkb - dSXkb * dYak) / detD;
  const double B = scale * static_cast<double>(dSXak * dXkb - dSXkb * dXak) / -detD;
  const double D = scale * static_cast<double>(dSYak * dYkb - dSYkb * dYak) / detD;
  const double E = scale * static_cast<double>(dSYak * dXkb - dSYkb * dXak) / -detD;
  if (!FitsInt32(A + 0.5) || !FitsInt32(B + 0.5) || !FitsInt32(D + 0.5) || !FitsInt32(E + 0.5))
    return false;
  const int32_t a32 = RoundHalfUp(A), b32 = RoundHalfUp(B);
  const int32_t d32 = RoundHalfUp(D), e32 = RoundHalfUp(E);
  const double C =
      static_cast<double>(scale * ref[a].x - int64_t{a32} * p.x[a] - int64_t{b32} * p.y[a]) / scale;
  const double F =
      static_cast<double>(scale * ref[a].y - int64_t{d32} * p.x[a] - int64_t{e32} * p.y[a]) / scale;
  if (!FitsInt32(C + 0.5) || !FitsInt32(F + 0.5)) return false;
  out = {a32, b32, RoundHalfUp(C), d32, e32, RoundHalfUp(F)};
  return true;
}

RawPoints ExpandFivePoints(const RawPoints& captured) {
  // Capture order: centre, top left, top right, bottom right, bottom left.
  RawPoints slots;
  auto expand = [](const std::array<uint16_t, 9>& c, std::array<uint16_t, 9>& s) {
    const int tl = c[1], tr = c[2], br = c[3], bl = c[4];
    s = {c[0],
         c[1],
         static_cast<uint16_t>((tl + tr) / 2),
         c[2],
         static_cast<uint16_t>((tr + br) / 2),
         c[3],
         static_cast<uint16_t>((br + bl) / 2),
         c[4],
         static_cast<uint16_t>((bl + tl) / 2)};
  };
  expand(captured.x, slots.x);
  expand(captured.y, slots.y);
  return slots;
}

RawPoints RotateNinePoints(const RawPoints& points, int orientation) {
  const int shift = 2 * QuarterTurns(orientation);
  RawPoints ring;
  ring.x[0] = points.x[0];
  ring.y[0] = points.y[0];
  for (int j = 1; j < 9; ++j) {
    const int from = 1 + (j - 1 + shift) % 8;
    ring.x[j] = points.x[from];
    ring.y[j] = points.y[from];
  }
  return ring;
}

void ExtrapolateNinePoints(const RawPoints& ring, std::array<int32_t, 9>& edgeX,
                           std::array<int32_t, 9>& edgeY) {
  auto extrapolate = [](const std::array<uint16_t, 9>& r, std::array<int32_t, 9>& edge) {
    edge[0] = r[0];
    for (int j = 2; j <= 8; j += 2)
      edge[j] = Outwards(r[j], r[0]);
    // Each corner, with its two neighbouring edge middles.
    constexpr int kCorners[4][3] = {{1, 8, 2}, {3, 2, 4}, {5, 4, 6}, {7, 6, 8}};
    for (const auto& [k, m, n] : kCorners) {
      const int32_t g1 = Outwards(Outwards(r[k], r[m]), edge[n]);
      const int32_t g2 = Outwards(Outwards(r[k], r[n]), edge[m]);
      edge[k] = RoundHalfUp((static_cast<double>(g1) + g2) * 0.5);
    }
  };
  extrapolate(ring.x, edgeX);
  extrapolate(ring.y, edgeY);
}

bool ComputeCalibration(int calMode, const RawPoints& points, int osClass, int orientation,
                        CalibrationResult& out) {
  CalibrationResult result;
  result.calMode = calMode;
  switch (calMode) {
    case 2:
      if (!SolveFourPoint(points, osClass, orientation, result.coefficients)) return false;
      break;
    case 3:
      ExtrapolateNinePoints(RotateNinePoints(ExpandFivePoints(points), orientation), result.edgeX,
                            result.edgeY);
      break;
    case 4:
      ExtrapolateNinePoints(RotateNinePoints(points, orientation), result.edgeX, result.edgeY);
      break;
    default:
      return false;
  }
  out = result;
  return true;
}

std::vector<uint8_t> CalibrationPointsPayload(const CalibrationResult& result) {
  std::vector<uint8_t> payload;
  if (result.calMode == 2) {
    for (int32_t c : result.coefficients)
      PutLittleEndian16(payload, c);
  } else if (result.calMode == 3 || result.calMode == 4) {
    for (size_t j = 0; j < 9; ++j) {
      PutLittleEndian16(payload, result.edgeX[j]);
      PutLittleEndian16(payload, result.edgeY[j]);
    }
  }
  return payload;
}

bool BuildCalibrationPointsFrame(FrameBuffer& frame, const CalibrationResult& result) {
  const std::vector<uint8_t> payload = CalibrationPointsPayload(result);
  if (payload.empty()) return false;
  return BuildFrame(frame, kCalibrationReportId, CAL_SET_POINTS, payload);
}

}  // namespace orvelle
