// The progress bar painted in a real window: filled pixels, clipping, 64-bit figures, and the
// percentage inverted across the fill edge (with a screenshot to look at).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <vector>

#include "install/progress_bar.h"
#include "install_support.h"
#include "resources/resource_ids.h"

namespace {

constexpr int kBarX = 20, kBarY = 20, kBarWidth = 216, kBarHeight = 24;

// Colours as the screen shows them (0x00BBGGRR).
struct Pixels {
  int Width = 0, Height = 0;
  std::vector<COLORREF> Data;
  COLORREF At(int x, int y) const { return Data[static_cast<size_t>(y) * Width + x]; }
};

// Reads a rectangle of the window's client area as painted (the surface the screen shows; the
// screen itself is updated a little later, so reading it here would race).
Pixels Capture(HWND window, int left, int top, int width, int height) {
  Pixels p;
  p.Width = width;
  p.Height = height;
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY);
  GdiFlush();
  const unsigned char* src = static_cast<const unsigned char*>(bits);
  for (int i = 0; i < width * height; ++i) p.Data.push_back(RGB(src[i * 4 + 2], src[i * 4 + 1], src[i * 4]));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return p;
}

class ProgressBarTest : public ::testing::Test {
 protected:
  // One window for the suite: creating and destroying a top-level window costs seconds here.
  static void SetUpTestSuite() {
    window_ = new installtest::TestWindow(400, 200);
    bar_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, kBarX, kBarY, kBarWidth, kBarHeight,
                           window_->Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PROGRESS)),
                           GetModuleHandleA(nullptr), nullptr);
    AttachProgressBar(bar_);
    installtest::TestWindow::Pump();
  }
  static void TearDownTestSuite() {
    delete window_;
    window_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(bar_, nullptr);
    highlight_ = GetSysColor(COLOR_HIGHLIGHT);
    background_ = GetSysColor(COLOR_WINDOW);
    ASSERT_NE(highlight_, background_);
  }

  // The bar as shown after SetProgress, with one pixel of the parent around it.
  Pixels Show(int64_t done, int64_t total, int showText) {
    SetProgress(bar_, done, total, showText);
    installtest::TestWindow::Pump();
    return Capture(window_->Handle(), kBarX - 1, kBarY - 1, kBarWidth + 2, kBarHeight + 2);
  }
  // Columns of the bar (inside the one-pixel frame) that are filled, row by row; -1 when a row
  // is not a clean run of highlight followed by background.
  int FilledColumns(const Pixels& p) {
    int filled = -2;
    for (int y = 1; y <= kBarHeight; ++y) {
      int x = 1;
      while (x <= kBarWidth && p.At(x, y) == highlight_) ++x;
      int edge = x - 1;
      while (x <= kBarWidth && p.At(x, y) == background_) ++x;
      if (x != kBarWidth + 1) return -1;
      if (filled == -2) filled = edge;
      else if (filled != edge) return -1;
    }
    return filled;
  }
  // The parent's background shows all around the bar: nothing was painted outside it.
  bool FrameUntouched(const Pixels& p) {
    for (int x = 0; x < p.Width; ++x)
      if (p.At(x, 0) != installtest::kTestBackground || p.At(x, p.Height - 1) != installtest::kTestBackground) return false;
    for (int y = 0; y < p.Height; ++y)
      if (p.At(0, y) != installtest::kTestBackground || p.At(p.Width - 1, y) != installtest::kTestBackground) return false;
    return true;
  }

  static installtest::TestWindow* window_;
  static HWND bar_;
  COLORREF highlight_ = 0, background_ = 0;
};

installtest::TestWindow* ProgressBarTest::window_;
HWND ProgressBarTest::bar_;

TEST_F(ProgressBarTest, FillFollowsThePercentage) {
  EXPECT_EQ(FilledColumns(Show(50, 100, 0)), 108);  // half of 216
  EXPECT_EQ(FilledColumns(Show(1, 3, 0)), 71);       // 33 % of 216, truncated
  EXPECT_EQ(FilledColumns(Show(0, 100, 0)), 0);
  Pixels full = Show(100, 100, 0);
  EXPECT_EQ(FilledColumns(full), kBarWidth);
  EXPECT_TRUE(FrameUntouched(full));
}

TEST_F(ProgressBarTest, TotalZeroShowsFullAndDoneAboveTotalIsClipped) {
  Pixels zero = Show(0, 0, 0);
  EXPECT_EQ(FilledColumns(zero), kBarWidth);
  Pixels over = Show(300, 100, 0);
  EXPECT_EQ(FilledColumns(over), kBarWidth);
  EXPECT_TRUE(FrameUntouched(over));
  // A real file far larger than the script said: a full bar, never a negative fill.
  Pixels huge = Show(5000000000ll, 100, 0);
  EXPECT_EQ(FilledColumns(huge), kBarWidth);
  EXPECT_TRUE(FrameUntouched(huge));
  EXPECT_EQ(FilledColumns(Show(-50, 100, 0)), 0);
}

TEST_F(ProgressBarTest, FiguresAbove4GBPaintRight) {
  // 6 GB of 8 GB: 75 %, 162 pixels. Cut to 32 bits the total would be 0 and show full.
  EXPECT_EQ(FilledColumns(Show(6442450944ll, 8589934592ll, 0)), 162);
  EXPECT_EQ(FilledColumns(Show(0x100000000ll, 0x400000000ll, 0)), 54);
}

// Pixels of the text: background-coloured in the filled part, highlight-coloured beyond it.
struct TextPixels {
  int Left = 0, Right = 0;      // text pixels left and right of the fill edge
  int Stray = 0;                // pixels of any other colour
  int MinX = 1 << 30, MaxX = -1, MinY = 1 << 30, MaxY = -1;
};

TextPixels FindText(const Pixels& p, int edge, COLORREF highlight, COLORREF background) {
  TextPixels t;
  for (int y = 1; y <= kBarHeight; ++y)
    for (int x = 1; x <= kBarWidth; ++x) {
      COLORREF c = p.At(x, y);
      if (c != highlight && c != background) {
        ++t.Stray;
        continue;
      }
      bool filled = x - 1 < edge;
      bool text = filled ? c == background : c == highlight;
      if (!text) continue;
      (filled ? t.Left : t.Right)++;
      t.MinX = x - 1 < t.MinX ? x - 1 : t.MinX;
      t.MaxX = x - 1 > t.MaxX ? x - 1 : t.MaxX;
      t.MinY = y - 1 < t.MinY ? y - 1 : t.MinY;
      t.MaxY = y - 1 > t.MaxY ? y - 1 : t.MaxY;
    }
  return t;
}

TEST_F(ProgressBarTest, CentredPercentageIsInvertedAcrossTheFillEdge) {
  // The text's box as the system's default font measures it.
  HDC dc = CreateCompatibleDC(nullptr);
  SIZE extent{};
  GetTextExtentPoint32A(dc, "50%", 3, &extent);
  DeleteDC(dc);
  const int x0 = (kBarWidth - extent.cx) / 2, y0 = (kBarHeight - extent.cy) / 2;

  Pixels half = Show(50, 100, 1);
  TextPixels t = FindText(half, 108, highlight_, background_);
  EXPECT_EQ(t.Stray, 0);
  EXPECT_GT(t.Left, 5);   // "5" and part of "0" in the window colour on the fill
  EXPECT_GT(t.Right, 5);  // the rest in the highlight colour on the background
  EXPECT_GE(t.MinX, x0);
  EXPECT_LT(t.MaxX, x0 + extent.cx);
  EXPECT_GE(t.MinY, y0);
  EXPECT_LT(t.MaxY, y0 + extent.cy);
  EXPECT_LT(t.MinX, 108);
  EXPECT_GE(t.MaxX, 108);
  EXPECT_TRUE(FrameUntouched(half));

  // 0 %: no fill, the text alone in the highlight colour.
  TextPixels none = FindText(Show(0, 100, 1), 0, highlight_, background_);
  EXPECT_EQ(none.Left, 0);
  EXPECT_GT(none.Right, 5);
  // 100 %: all filled, the text alone in the window colour.
  TextPixels all = FindText(Show(100, 100, 1), kBarWidth, highlight_, background_);
  EXPECT_GT(all.Left, 5);
  EXPECT_EQ(all.Right, 0);
}

TEST_F(ProgressBarTest, ScreenshotOfBarsWithText) {
  // Further bars below the first, each painted once with its own figures.
  struct Bar {
    int64_t Done, Total;
  } bars[] = {{0, 100}, {42, 100}, {50, 100}, {6442450944ll, 8589934592ll}, {300, 100}};
  int y = kBarY;
  for (const Bar& b : bars) {
    HWND bar = b.Done == 0 ? bar_
                           : CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, kBarX, y, kBarWidth, kBarHeight,
                                             window_->Handle(), nullptr, GetModuleHandleA(nullptr), nullptr);
    if (bar != bar_) AttachProgressBar(bar);
    SetProgress(bar, b.Done, b.Total, 1);
    y += kBarHeight + 4;
  }
  // Let the screen catch up with the painted window before taking the picture.
  for (int i = 0; i < 20; ++i) {
    installtest::TestWindow::Pump();
    Sleep(10);
  }
  std::string path = ui::JoinPath(ui::TestRoot(), "progress_bar.png");
  ASSERT_TRUE(ui::SaveScreenshot(path));
  printf("screenshot: %s\n", path.c_str());
  // The screen shows the bars as painted: the 75 % bar (fourth) is filled to 162 pixels on a
  // row clear of the text, the 300 % bar (fifth) to its end.
  RECT client;
  GetClientRect(window_->Handle(), &client);
  MapWindowPoints(window_->Handle(), nullptr, reinterpret_cast<POINT*>(&client), 2);
  const int top = client.top + kBarY + 3 * (kBarHeight + 4) + 1;
  auto asRgb = [](COLORREF c) { return RGB(GetBValue(c), GetGValue(c), GetRValue(c)); };  // as ScreenPixel reads
  EXPECT_EQ(ui::ScreenPixel(client.left + kBarX + 161, top), asRgb(highlight_));
  EXPECT_EQ(ui::ScreenPixel(client.left + kBarX + 162, top), asRgb(background_));
  EXPECT_EQ(ui::ScreenPixel(client.left + kBarX + kBarWidth - 1, top + kBarHeight + 4), asRgb(highlight_));
}

}  // namespace
