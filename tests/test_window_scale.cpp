// The UI-scale and window-size rule, with the worked examples.
#include <gtest/gtest.h>

#include "app/window.h"

TEST(WindowScale, WorkedExamples) {
  struct Case {
    float requested, display;
    int dw, dh;
    float scale;
    int w, h, minW, minH;
  } cases[] = {
      {2, 1, 1920, 1080, 1000.0f / 760, 1473, 1000, 1289, 921},  // fitted to the desktop
      {0.5f, 1, 1920, 1080, 1, 1120, 760, 980, 700},             // raised to 1
      {0, 1.5f, 3840, 2160, 1.5f, 1680, 1140, 1470, 1050},       // 150 % display scaling
      {0, 1, 1280, 720, 1, 1120, 640, 980, 640},                 // height limited to 720 - 80, the minimum too
      {0, 1, 1366, 768, 1, 1120, 688, 980, 688},                 // a common laptop desktop
      {5, 1, 1920, 1080, 1000.0f / 760, 1473, 1000, 1289, 921},  // capped at 3, then fitted
      {0, 0, 1280, 720, 1, 1120, 640, 980, 640},                 // no display scale: base size, shrunk
      {2, 1, 0, 0, 2, 2240, 1520, 1960, 1400},                   // desktop unknown
  };
  for (const Case& c : cases) {
    ScaleInput in;
    in.requested = c.requested;
    in.displayScale = c.display;
    in.desktopWidth = c.dw;
    in.desktopHeight = c.dh;
    ScaleResult r = computeScale(in);
    SCOPED_TRACE(testing::Message() << c.requested << " on " << c.dw << "x" << c.dh);
    EXPECT_NEAR(r.scale, c.scale, 1e-4);
    EXPECT_EQ(r.width, c.w);
    EXPECT_EQ(r.height, c.h);
    EXPECT_EQ(r.minWidth, c.minW);
    EXPECT_EQ(r.minHeight, c.minH);
    EXPECT_LE(r.minWidth, r.width);
    EXPECT_LE(r.minHeight, r.height);
  }
}
