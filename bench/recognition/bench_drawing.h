// What the recognition benchmarks build their drawn tables in.
#pragma once

#include "capture/records.h"

namespace bench {

struct Drawing {
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  CArxDbMTextArray texts;
};

inline CSimpleLine Line(double x1, double y1, double x2, double y2) {
  CSimpleLine line;
  line.SetEndpoints({x1, y1, 0}, {x2, y2, 0});
  return line;
}

}  // namespace bench
