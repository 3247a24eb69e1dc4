#include "install/progress_bar.h"

#include "startup/text.h"

int64_t ProgressDone;
int64_t ProgressTotal = 1;
int ProgressShowText;

namespace {

uint64_t Magnitude(int64_t v) { return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v); }

}  // namespace

int64_t ProgressPercent(int64_t done, int64_t total) {
  if (total == 0) return 0;
  uint64_t d = Magnitude(done), t = Magnitude(total);
  bool negative = (done < 0) != (total < 0);
  // Whole part and remainder separately, so done * 100 never overflows.
  uint64_t rest;
  uint64_t whole = DivideWide(d, t, &rest);
  // rest < t; scale both down until rest * 100 fits (a rounding step of 1 in 2^56 at most).
  while (t > (UINT64_MAX / 100)) {
    t >>= 1;
    rest >>= 1;
  }
  if (rest >= t) rest = t - 1;  // the shift may round t below rest
  uint64_t fraction = DivideWide(rest * 100 + t / 2, t);
  const uint64_t limit = static_cast<uint64_t>(INT64_MAX);
  uint64_t percent;
  if (whole > DivideWide(limit - fraction, 100)) percent = limit;
  else percent = whole * 100 + fraction;
  return negative ? -static_cast<int64_t>(percent) : static_cast<int64_t>(percent);
}

int ProgressFillWidth(int64_t percent, int width) {
  if (width <= 0 || percent <= 0) return 0;
  if (percent >= 100) return width;
  int p = static_cast<int>(percent);  // 1 to 99: width * p / 100 in parts that cannot overflow
  return width / 100 * p + width % 100 * p / 100;
}
