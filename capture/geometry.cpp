#include "capture/geometry.h"

#include <algorithm>
#include <cmath>

AcGeMatrix3d::AcGeMatrix3d() {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) entry[r][c] = r == c ? 1.0 : 0.0;
  }
}

void AcGeMatrix3d::AddTranslation(double tx, double ty, double tz) {
  entry[0][3] += tx;
  entry[1][3] += ty;
  entry[2][3] += tz;
}

void AcGeMatrix3d::SetZRotation(double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  entry[0][0] *= c;
  entry[1][0] = s;
  entry[0][1] = -s;
  entry[1][1] *= c;
}

void AcGeMatrix3d::ScaleDiagonal(double sx, double sy, double sz) {
  entry[0][0] *= sx;
  entry[1][1] *= sy;
  entry[2][2] *= sz;
}

AcGePoint3d AcGeMatrix3d::TransformPoint(const AcGePoint3d& p) const {
  AcGePoint3d out;
  out.x = entry[0][0] * p.x + entry[0][1] * p.y + entry[0][2] * p.z + entry[0][3];
  out.y = entry[1][0] * p.x + entry[1][1] * p.y + entry[1][2] * p.z + entry[1][3];
  out.z = entry[2][0] * p.x + entry[2][1] * p.y + entry[2][2] * p.z + entry[2][3];
  return out;
}

void AcDbExtents::SetFromCorners(const AcGePoint3d& a, const AcGePoint3d& b) {
  min_ = {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
  max_ = {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}
