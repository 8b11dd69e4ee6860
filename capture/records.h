// The plain records the entity reader turns a drawing into: straight table
// lines and texts, in the current user coordinate system, and the arrays
// that collect them.
#pragma once

#include <cstdint>
#include <string>

#include "capture/array.h"
#include "capture/colors.h"
#include "capture/geometry.h"

class CSimpleLine {
 public:
  CSimpleLine() = default;

  // Sets both ends from the x and y of two points, snapping a nearly
  // vertical or horizontal line by ConversionSettings.FuzzyPercent (a ratio
  // of the length), then normalising: a horizontal line runs left to right,
  // a vertical one top to bottom.
  void SetEndpoints(const AcGePoint3d& p1, const AcGePoint3d& p2);
  bool IsHorizontal() const { return IsEqual(y1, y2); }
  bool IsVertical() const { return IsEqual(x1, x2); }
  bool IsPoint() const { return IsHorizontal() && IsVertical(); }

  // A copy of the coordinates, colour and IsVirtual, without Segments: what
  // arrays and grid lines keep of a line.
  CSimpleLine Bare() const;

  double x1 = 0.0;
  double y1 = 0.0;
  double x2 = 0.0;
  double y2 = 0.0;
  std::int32_t color = kAutomaticColor;
  // 1 for the boundary lines recognition adds, which are never drawn. Kept
  // beside the colour, so that a line, captured or a segment, takes 64 bytes.
  std::int32_t IsVirtual = 0;
  // For a grid line, the drawn lines it stands for; empty when captured.
  CCheckedArray<CSimpleLine> Segments;
};

class ArxDbMText {
 public:
  std::int32_t color = kAutomaticColor;
  // The insertion point.
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double height = 0.0;
  double rotation = 0.0;  // radians
  // The plain text that becomes cell content.
  std::wstring text;
  // The text before its last clean-up steps.
  std::wstring source;
  // The core box: its bottom edge is boxTop - boxHeight.
  double boxLeft = 0.0;
  double boxTop = 0.0;
  double boxWidth = 0.0;
  double boxHeight = 0.0;

  double BoxRight() const { return boxLeft + boxWidth; }
  double BoxBottom() const { return boxTop - boxHeight; }
};

class CHorzDbLineArray : public CCheckedArray<CSimpleLine> {
 public:
  // Appends a bare copy of a horizontal line and returns its index; -1 (and
  // nothing added) for a point or a line that is not horizontal.
  int AddIfHorizontal(const CSimpleLine& line);
};

class CVertDbLineArray : public CCheckedArray<CSimpleLine> {
 public:
  // As AddIfHorizontal, for vertical lines.
  int AddIfVertical(const CSimpleLine& line);
};

class CArxDbMTextArray : public CCheckedArray<ArxDbMText> {
 public:
  // Grows the union box of the texts by a rectangle given by any two
  // opposite corners; the first call sets it.
  void ExtendBounds(double left, double bottom, double right, double top);
  bool HasBounds() const { return hasBounds_; }
  // Drops every text that repeats an earlier one on the same spot: the same
  // text, heights within a tenth, insertion points closer than a quarter of
  // the height. Keeps the order of the others; the bounds stay as they are.
  void RemoveRepeated();
  double MinX() const { return minX_; }
  double MinY() const { return minY_; }
  double MaxX() const { return maxX_; }
  double MaxY() const { return maxY_; }

 private:
  double minX_ = 0.0;
  double minY_ = 0.0;
  double maxX_ = 0.0;
  double maxY_ = 0.0;
  bool hasBounds_ = false;
};
