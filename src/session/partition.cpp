#include "session/partition.h"

#include <algorithm>

#include "numlib/matrix.h"

namespace kalios {

void RangeStates(int nch, int tcst, const double* const* B, const int* chtype, double* range) {
  for (int k = 0; k < nch; ++k) {
    if (chtype[k] != 3) continue;
    bool any = false;
    double lo = 0, hi = 0;
    for (int i = 0; i < tcst; ++i) {
      double x = B[i][k];
      if (x == kMissingValue) continue;
      if (!any) {
        lo = hi = x;
        any = true;
      } else {
        lo = std::min(lo, x);
        hi = std::max(hi, x);
      }
    }
    range[k] = any ? hi - lo : 0.0;
  }
}

}  // namespace kalios
