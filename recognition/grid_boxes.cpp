#include "recognition/grid_boxes.h"

#include <utility>

CGridBoxes::CGridBoxes(std::vector<double> left, std::vector<double> width, std::vector<double> top,
                       std::vector<double> height)
    : left_(std::move(left)),
      width_(std::move(width)),
      top_(std::move(top)),
      height_(std::move(height)),
      own_(left_.size() * top_.size(), false) {}

void CGridBoxes::Set(int row, int column, const CellBox& box) {
  const std::size_t cell = Cell(row, column);
  own_[cell] = true;
  owned_[cell] = box;
  widened_ = widened_ || !(box == GridBox(row, column));
}
