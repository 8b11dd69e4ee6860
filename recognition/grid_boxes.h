// The cells' boxes while a table is recognised. A grid cell's box is its
// column's span and its row's band, so only the first cells of merged
// ranges, widened over their ranges, keep boxes of their own: a large grid's
// boxes cost a few numbers per row and column, not four per cell.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

// The bottom edge is top - height.
struct CellBox {
  double left = 0.0;
  double top = 0.0;
  double width = 0.0;
  double height = 0.0;

  // Boundaries included.
  bool Holds(double x, double y) const {
    return left <= x && x <= left + width && top - height <= y && y <= top;
  }
  bool operator==(const CellBox&) const = default;
};

class CGridBoxes {
 public:
  CGridBoxes() = default;
  // Per column its left edge and width, per row its top edge and height.
  // REQUIRES: left and width, top and height of equal sizes.
  CGridBoxes(std::vector<double> left, std::vector<double> width, std::vector<double> top,
             std::vector<double> height);

  int GetRowCount() const { return static_cast<int>(top_.size()); }
  int GetColumnCount() const { return static_cast<int>(left_.size()); }

  // The grid box of the cell, or the box set for it. REQUIRES: the cell
  // lies in the grid (0-based).
  CellBox At(int row, int column) const {
    const std::size_t cell = Cell(row, column);
    return own_[cell] ? owned_.at(cell) : GridBox(row, column);
  }
  // Gives the cell a box of its own. REQUIRES: as for At.
  void Set(int row, int column, const CellBox& box);
  // False while every box set equals its grid box.
  bool HasWidened() const { return widened_; }

 private:
  std::size_t Cell(int row, int column) const {
    return static_cast<std::size_t>(row) * left_.size() + static_cast<std::size_t>(column);
  }
  CellBox GridBox(int row, int column) const {
    return {left_[static_cast<std::size_t>(column)], top_[static_cast<std::size_t>(row)],
            width_[static_cast<std::size_t>(column)], height_[static_cast<std::size_t>(row)]};
  }

  std::vector<double> left_, width_;  // per column
  std::vector<double> top_, height_;  // per row
  std::vector<bool> own_;             // per cell, row by row
  std::unordered_map<std::size_t, CellBox> owned_;
  bool widened_ = false;
};
