// A stable merge sort over indices, for the few places that order many thousand items (the
// files of an undo record, a folder's listing): n log n where an insertion sort would take
// seconds, and no library sort in a program that brings its own runtime.
#pragma once
#include <cstdint>
#include <cstring>

// Sorts order[0..n) so that before(a, b) holds for no later a ahead of an earlier b; equal items
// keep their order. scratch holds n indices.
template <class Before> void MergeSortIndices(int32_t* order, int32_t* scratch, int32_t n, Before before) {
  for (int32_t width = 1; width < n; width *= 2) {
    for (int32_t lo = 0; lo < n; lo += 2 * width) {
      int32_t mid = lo + width < n ? lo + width : n;
      int32_t hi = lo + 2 * width < n ? lo + 2 * width : n;
      int32_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) scratch[k++] = before(order[j], order[i]) ? order[j++] : order[i++];
      while (i < mid) scratch[k++] = order[i++];
      while (j < hi) scratch[k++] = order[j++];
    }
    memcpy(order, scratch, static_cast<size_t>(n) * sizeof(int32_t));
  }
}
