// Tolerance comparisons and the small geometry types the captured records
// are built with.
#pragma once

#include "capture/array.h"

// Every stage from capture on compares coordinates with this absolute
// tolerance; where a stage needs an exact comparison it uses plain operators.
inline constexpr double kTolerance = 1e-6;

inline bool IsEqual(double a, double b) { return (a > b ? a - b : b - a) < kTolerance; }
inline bool IsGreater(double a, double b) { return a - b > kTolerance; }
inline bool IsGreaterOrEqual(double a, double b) { return a - b > -kTolerance; }
inline bool IsLess(double a, double b) { return b - a > kTolerance; }
inline bool IsLessOrEqual(double a, double b) { return b - a > -kTolerance; }

struct AcGePoint3d {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

using PointList = CCheckedArray<AcGePoint3d>;

// A 4x4 transform, row-major (entry[row][column]); new matrices are the
// identity. The operations edit entries in place rather than composing
// matrices, which is what the block-reference reader builds on.
class AcGeMatrix3d {
 public:
  AcGeMatrix3d();
  virtual ~AcGeMatrix3d() = default;
  AcGeMatrix3d(const AcGeMatrix3d&) = default;
  AcGeMatrix3d& operator=(const AcGeMatrix3d&) = default;

  void AddTranslation(double tx, double ty, double tz);
  // Changes only entries [0][0], [1][0], [0][1] and [1][1].
  void SetZRotation(double angle);
  void ScaleDiagonal(double sx, double sy, double sz);
  // Affine: the bottom (perspective) row is ignored.
  AcGePoint3d TransformPoint(const AcGePoint3d& p) const;

  double entry[4][4];
};

class AcDbExtents {
 public:
  AcDbExtents() = default;
  virtual ~AcDbExtents() = default;
  AcDbExtents(const AcDbExtents&) = default;
  AcDbExtents& operator=(const AcDbExtents&) = default;

  const AcGePoint3d& minPoint() const { return min_; }
  const AcGePoint3d& maxPoint() const { return max_; }
  void set(const AcGePoint3d& minPoint, const AcGePoint3d& maxPoint) {
    min_ = minPoint;
    max_ = maxPoint;
  }
  // Minimum and maximum taken component by component.
  void SetFromCorners(const AcGePoint3d& a, const AcGePoint3d& b);

 private:
  AcGePoint3d min_;
  AcGePoint3d max_;
};
