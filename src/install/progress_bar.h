// The progress bar of the busy pages: static control 1008 painted by the bar painter, filled
// from the left in the highlight colour, optionally with the centred percentage inverted.
#pragma once
#include <cstdint>

struct HWND__;
typedef HWND__* HWND;

// One set of figures for the whole program (one busy page is shown at a time).
extern int64_t ProgressDone;   // amount done
extern int64_t ProgressTotal;  // amount that makes 100 percent; 0 shows a full bar
extern int ProgressShowText;   // draw the percentage

// Stores the figures and repaints the control at once, without erasing its background.
void SetProgress(HWND control, int64_t done, int64_t total, int showText);
// Hands the control to the bar painter (replaces its window procedure).
void AttachProgressBar(HWND control);

// Portable pieces of the painter.
// done * 100 / total rounded to the nearest integer (halves away from zero), exact for any
// 64-bit figures, saturating at the limits of int64; 0 when total is 0.
int64_t ProgressPercent(int64_t done, int64_t total);
// Filled pixels of a bar of the given width: percent * width / 100 (truncating), clamped to
// 0..width whatever the percentage.
int ProgressFillWidth(int64_t percent, int width);
