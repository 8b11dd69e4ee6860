// Captured records for recognition tests, made the way the entity reader
// makes them, and the settings recognition reads.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "capture/records.h"
#include "platform/sds/host.h"
#include "ui/settings.h"

namespace gm::test {

inline CSimpleLine Line(double x1, double y1, double x2, double y2,
                        std::int32_t color = kAutomaticColor) {
  CSimpleLine line;
  line.SetEndpoints({x1, y1, 0}, {x2, y2, 0});
  line.color = color;
  return line;
}

struct Drawing {
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  CArxDbMTextArray texts;

  void H(double x1, double x2, double y, std::int32_t color = kAutomaticColor) {
    horizontal.AddIfHorizontal(Line(x1, y, x2, y, color));
  }
  void V(double x, double y1, double y2, std::int32_t color = kAutomaticColor) {
    vertical.AddIfVertical(Line(x, y1, x, y2, color));
  }
  // A text by its core box; the insertion point is the box's lower left.
  ArxDbMText& Text(const std::wstring& content, double left, double top, double width,
                   double height) {
    ArxDbMText text;
    text.text = content;
    text.source = content;
    text.x = left;
    text.y = top - height;
    text.height = height;
    text.boxLeft = left;
    text.boxTop = top;
    text.boxWidth = width;
    text.boxHeight = height;
    texts.ExtendBounds(left, top - height, left + width, top);
    texts.Add(text);
    return texts[texts.GetUpperBound()];
  }
  // A full grid with its top-left corner at (0, 0): rows of height h
  // downwards, columns of width w to the right, each line one piece.
  void Grid(int rows, int columns, double w, double h) {
    for (int i = 0; i <= rows; ++i) H(0, columns * w, -i * h);
    for (int j = 0; j <= columns; ++j) V(j * w, 0, -rows * h);
  }
};

class RecognitionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ConversionSettings;
    ConversionSettings.FuzzyPercent = 0.0008;
    ConversionSettings.DoubleLineDist = -1.0;
    sds_host::ClearProgressLog();
  }
  void TearDown() override { ConversionSettings = saved_; }

 private:
  ConversionSettingsRecord saved_;
};

}  // namespace gm::test
