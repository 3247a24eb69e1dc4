#include <windows.h>

#include <cinttypes>

#include "install/progress_bar.h"
#include "startup/text.h"

namespace {

// Releases the painter's GDI objects in reverse order of creation.
struct PaintGuard {
  HWND window;
  PAINTSTRUCT ps{};
  HDC dc;
  explicit PaintGuard(HWND w) : window(w), dc(BeginPaint(w, &ps)) {}
  ~PaintGuard() { EndPaint(window, &ps); }
  PaintGuard(const PaintGuard&) = delete;
  PaintGuard& operator=(const PaintGuard&) = delete;
};

struct MemoryBitmap {
  HDC dc;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  MemoryBitmap(HDC compatible, int width, int height) : dc(CreateCompatibleDC(compatible)) {
    // One plane, one bit per pixel: black ink on white until it is copied onto the control.
    if (dc) bitmap = CreateBitmap(width, height, 1, 1, nullptr);
    if (bitmap) previous = SelectObject(dc, bitmap);
  }
  ~MemoryBitmap() {
    if (previous) SelectObject(dc, previous);
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
  }
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;
};

void Paint(HWND window) {
  PaintGuard paint(window);
  if (!paint.dc) return;
  RECT client;
  GetClientRect(window, &client);
  int width = client.right - client.left, height = client.bottom - client.top;
  if (width <= 0 || height <= 0) return;
  MemoryBitmap memory(paint.dc, width, height);
  if (!memory.bitmap) return;

  int64_t done = ProgressDone, total = ProgressTotal;
  if (total == 0) done = total = 1;  // nothing to do counts as all done
  COLORREF oldText = SetTextColor(paint.dc, GetSysColor(COLOR_HIGHLIGHT));
  COLORREF oldBack = SetBkColor(paint.dc, GetSysColor(COLOR_WINDOW));
  int64_t percent = ProgressPercent(done, total);

  char text[32] = "";
  int x = 0, y = 0;
  if (ProgressShowText) {
    FormatText(text, "%" PRId64 "%%", percent);
    SIZE extent{};
    GetTextExtentPoint32A(memory.dc, text, static_cast<int>(strlen(text)), &extent);
    x = client.left + (width - extent.cx) / 2;
    y = client.top + (height - extent.cy) / 2;
  }
  ExtTextOutA(memory.dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &client, text, static_cast<UINT>(strlen(text)), nullptr);
  BitBlt(memory.dc, client.left, client.top, ProgressFillWidth(percent, width), height, nullptr, 0, 0, DSTINVERT);
  // Monochrome onto colour: black takes the text colour, white the background colour.
  BitBlt(paint.dc, client.left, client.top, width, height, memory.dc, 0, 0, SRCCOPY);

  SetTextColor(paint.dc, oldText);
  SetBkColor(paint.dc, oldBack);
}

LRESULT CALLBACK ProgressBarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_PAINT: Paint(window); return 0;
  }
  auto classProc = reinterpret_cast<WNDPROC>(GetClassLongPtrA(window, GCLP_WNDPROC));
  return CallWindowProcA(classProc, window, message, wParam, lParam);
}

}  // namespace

void SetProgress(HWND control, int64_t done, int64_t total, int showText) {
  ProgressDone = done;
  ProgressTotal = total;
  ProgressShowText = showText;
  InvalidateRect(control, nullptr, FALSE);
  UpdateWindow(control);
}

void AttachProgressBar(HWND control) {
  SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProgressBarProc));
}
