#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "WidgetHost.h"
#include "widgets/Scope.h"

namespace qv::testing {
namespace {

constexpr TColor kTrace = RGB(255, 0, 82);

// Column x of the scope's image as letters: '#' background black, G green
// grid, R red baseline, L lime trace, S silver.
std::string Column(const TScope& scope, int x) {
  std::string out;
  for (const std::string& row : Letters(scope.Buffer(), Rect(x, 0, x + 1, scope.Height()), "#GRLS",
                                        {clBlack, clGreen, clRed, clLime, clSilver}))
    out += row;
  return out;
}

class ScopeTest : public ::testing::Test {
 protected:
  // A scope of the main window's size with the constructor's colours.
  std::unique_ptr<TScope> MainSized(std::int32_t gridsize = 14) {
    auto scope = std::make_unique<TScope>(nullptr);
    scope->SetBounds(0, 0, 233, 113);
    scope->SetGridsize(gridsize);
    return scope;
  }
  WidgetHost env;
};

TEST(ScopeRowTest, ExtendedPrecisionRoundsExactHalvesDown) {
  EXPECT_EQ(ScopeRow(113, 50), 57);  // exact 56.5 lands just below the half
  EXPECT_EQ(ScopeRow(5, 30), 4);     // exact 1.5 gives 1
  EXPECT_EQ(ScopeRow(113, 0), 113);
  EXPECT_EQ(ScopeRow(113, 100), 0);
  EXPECT_EQ(ScopeRow(113, 150), -57);
  EXPECT_EQ(ScopeRow(113, -50), 169);  // -56.5 lies a hair above, toward zero
}

TEST_F(ScopeTest, ConstructorDrawsNothing) {
  TScope scope(nullptr);
  EXPECT_TRUE(scope.Ready());
  EXPECT_EQ(scope.BaselineRow(), 60);  // 50 % of the default 120 rows
  EXPECT_EQ(scope.Buffer().Width(), 208);
  for (int x : {0, 100, 207}) EXPECT_EQ(Column(scope, x), std::string(120, '#'));
  EXPECT_EQ(env.loop.ActiveTimers(), 0);
}

TEST_F(ScopeTest, GridsizeIsKeptEven) {
  TScope scope(nullptr);
  const std::pair<int, int> cases[] = {{15, 14}, {14, 14}, {1, 0}, {0, 0}, {-3, -2}};
  for (auto [given, stored] : cases) {
    scope.SetGridsize(given);
    EXPECT_EQ(scope.Gridsize(), stored) << given;
  }
}

TEST_F(ScopeTest, FullRedrawMatchesTheExampleGrid) {
  auto scope = MainSized();
  EXPECT_EQ(scope->BaselineRow(), 57);
  const std::set<int> gridRows = {1, 15, 29, 43, 71, 85, 99};
  std::set<int> gridColumns;
  for (int x = 232; x >= 0; x -= 14) gridColumns.insert(x);
  ASSERT_EQ(gridColumns.size(), 17u);
  EXPECT_EQ(*gridColumns.begin(), 8);
  for (int x = 0; x < 233; ++x) {
    std::string want;
    for (int y = 0; y < 113; ++y)
      want += y == 57 ? 'R' : (gridRows.count(y) || gridColumns.count(x)) ? 'G' : '#';
    ASSERT_EQ(Column(*scope, x), want) << "column " << x;
  }
  EXPECT_EQ(scope->PrevY(), 57);
  EXPECT_EQ(scope->LastY(), 57);
}

TEST_F(ScopeTest, FirstVerticalLineComesOnStepHalfTheGrid) {
  auto scope = MainSized();
  for (int step = 1; step <= 14; ++step) {
    scope->ScrollStep();
    const bool line = step == 7 || step == 14;
    EXPECT_EQ(scope->Buffer().GetPixel(232, 50), line ? clGreen : clBlack) << "step " << step;
    if (step == 7) {
      EXPECT_EQ(scope->Buffer().GetPixel(218, 50), clGreen);  // the old right-edge line
    }
  }
}

TEST_F(ScopeTest, StripIsDrawnBackgroundGridBaselineTrace) {
  TScope scope(nullptr);
  scope.SetBounds(0, 0, 20, 20);
  scope.SetGridsize(4);   // baseline row 10, grid rows 2, 6, 14, 18
  scope.SetPosition(50);  // the trace runs on the baseline
  scope.ScrollStep();
  scope.ScrollStep();  // step G/2 adds a vertical line
  EXPECT_EQ(Column(scope, 19), "GGGGGGGGGGLGGGGGGGGG");
  EXPECT_EQ(Column(scope, 18), "##G###G###L###G###G#");
}

TEST_F(ScopeTest, StepWritesOnlyTheStripBesidesTheCopy) {
  auto scope = MainSized();
  scope->SetPosition(80);
  scope->ScrollStep();
  scope->SetPosition(20);
  // Every pixel gets a colour of its own, so any write shows.
  TBitmap& image = scope->Buffer();
  const auto unique = [](int x, int y) { return static_cast<TColor>(0x100000 + y * 1000 + x); };
  for (int y = 0; y < 113; ++y)
    for (int x = 0; x < 233; ++x) image.PutPixelRGB(x, y, unique(x, y));
  scope->ScrollStep();
  int redrawnTrace = 0;
  for (int y = 0; y < 113; ++y) {
    for (int x = 0; x < 231; ++x) {
      const TColor got = image.GetPixel(x, y);
      if (got == unique(x + 2, y)) continue;
      // Only the first trace segment may touch the two columns left of the strip.
      ASSERT_GE(x, 229) << x << "," << y;
      ASSERT_EQ(got, clLime) << x << "," << y;
      ++redrawnTrace;
    }
  }
  EXPECT_GT(redrawnTrace, 0);
}

TEST_F(ScopeTest, PositionAboveHundredRunsOffTheTop) {
  auto scope = MainSized();
  scope->SetPosition(150);
  scope->ScrollStep();
  EXPECT_EQ(scope->LastY(), -57);
  for (int y = 0; y < 113; ++y) {
    const bool lime =
        scope->Buffer().GetPixel(231, y) == clLime || scope->Buffer().GetPixel(232, y) == clLime;
    EXPECT_EQ(lime, y <= 57) << "row " << y;
  }
  scope->ScrollStep();  // the next segments lie entirely above the image
  EXPECT_EQ(scope->PrevY(), -57);
}

TEST_F(ScopeTest, PositionIsStoredOnlyAndStepsRepaint) {
  TWinControl& host = env.Host(300, 200);
  TScope scope(nullptr);
  scope.SetParent(&host);
  scope.SetBounds(10, 10, 233, 113);
  env.windows.paints = 0;
  const std::vector<std::uint8_t> before = scope.Buffer().Image().bits;
  for (int p = 0; p <= 150; p += 10) scope.SetPosition(p);
  EXPECT_EQ(env.windows.paints, 0);
  EXPECT_EQ(scope.Buffer().Image().bits, before);

  int paintsSeenByHandler = -1;
  scope.OnUpdate = [&](TObject* sender) {
    EXPECT_EQ(sender, &scope);
    paintsSeenByHandler = env.windows.paints;
  };
  scope.ScrollStep();
  EXPECT_EQ(paintsSeenByHandler, 1);  // the handler runs after the repaint
  EXPECT_EQ(host.BackBuffer().GetPixel(10 + 232, 10 + 5), scope.Buffer().GetPixel(232, 5));

  scope.SetBaseline(30);  // a full redraw shows at once
  EXPECT_EQ(env.windows.paints, 2);
}

TEST_F(ScopeTest, RunTimeResizeKeepsPictureAndTheLastRedrawBackground) {
  auto scope = MainSized();
  scope->SetColor(clNavy);
  scope->RedrawGrid();
  scope->SetColor(clMaroon);
  scope->SetBounds(0, 0, 240, 130);
  EXPECT_EQ(scope->Buffer().Width(), 240);
  EXPECT_EQ(scope->Buffer().GetPixel(232, 50), clGreen);  // old right-edge line stays put
  EXPECT_EQ(scope->Buffer().GetPixel(239, 50), clNavy);
  EXPECT_EQ(scope->Buffer().GetPixel(5, 120), clNavy);
  EXPECT_EQ(scope->BaselineRow(), 57);  // kept until the next redraw or re-arm

  scope->SetDesigning(true);  // a form editor redraws on every resize
  scope->SetBounds(0, 0, 240, 100);
  EXPECT_EQ(scope->BaselineRow(), 50);
  EXPECT_EQ(scope->Buffer().GetPixel(239, 10), clGreen);
}

TEST_F(ScopeTest, GridOfZeroOrBelowDrawsNoGridAndEnds) {
  const std::string plain = std::string(57, '#') + "R" + std::string(55, '#');
  const std::string traced = std::string(57, '#') + "L" + std::string(55, '#');
  for (int g : {1, 0, -3}) {
    auto scope = MainSized(g);
    scope->ScrollStep();  // the trace runs along the baseline
    EXPECT_EQ(Column(*scope, 0), plain) << g;
    EXPECT_EQ(Column(*scope, 100), plain) << g;
    EXPECT_EQ(Column(*scope, 232), traced) << g;
  }
}

TEST_F(ScopeTest, ExtremeValuesAreClippedNotOverflowed) {
  auto scope = MainSized(2);
  scope->SetBaseline(INT32_MAX);  // far above the top: only the grid rows inside are walked
  scope->SetPosition(INT32_MIN);
  scope->ScrollStep();
  EXPECT_GT(scope->LastY(), 113);
  scope->SetInterval(INT32_MAX);
  scope->SetActive(true);
  EXPECT_EQ(env.loop.ActiveTimers(), 1);
}

TEST_F(ScopeTest, ActiveAndIntervalDriveTheTimer) {
  auto scope = MainSized();
  int steps = 0;
  scope->OnUpdate = [&](TObject*) { ++steps; };
  scope->SetActive(true);
  EXPECT_EQ(env.loop.ActiveTimers(), 1);
  env.loop.Advance(1000);
  EXPECT_EQ(steps, 2);

  env.loop.Advance(250);
  scope->SetActive(true);  // already running: the phase is kept
  env.loop.Advance(250);
  EXPECT_EQ(steps, 3);

  env.loop.Advance(250);
  scope->SetInterval(50);  // re-arming restarts the phase
  env.loop.Advance(250);
  EXPECT_EQ(steps, 3);
  env.loop.Advance(250);
  EXPECT_EQ(steps, 4);

  scope->SetInterval(2);
  env.loop.Advance(100);
  EXPECT_EQ(steps, 9);
  for (int stopped : {0, -5}) {
    scope->SetInterval(stopped);
    env.loop.Advance(1000);
    EXPECT_EQ(steps, 9) << stopped;
    EXPECT_TRUE(scope->Active());
  }

  scope->SetInterval(50);
  scope->SetActive(false);
  env.loop.Advance(1000);
  EXPECT_EQ(steps, 9);
  const int lastY = scope->LastY();
  scope->SetActive(true);  // resumes the trace where it left off
  EXPECT_EQ(scope->LastY(), lastY);

  scope.reset();  // the timer dies with the scope
  EXPECT_EQ(env.loop.ActiveTimers(), 0);
}

TEST_F(ScopeTest, RefusedTimerRaisesAndCanBeRetried) {
  auto scope = MainSized();
  env.loop.RefuseTimers(true);
  try {
    scope->SetActive(true);
    FAIL() << "no exception";
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Not enough timers available");
  }
  EXPECT_FALSE(scope->Active());
  env.loop.RefuseTimers(false);
  scope->SetActive(true);  // a second attempt really asks again
  EXPECT_EQ(env.loop.ActiveTimers(), 1);

  env.loop.RefuseTimers(true);
  EXPECT_THROW(scope->SetInterval(20), EOutOfResources);
  EXPECT_EQ(scope->Interval(), 20);
  EXPECT_EQ(env.loop.ActiveTimers(), 0);
  env.loop.RefuseTimers(false);
  scope->SetActive(true);
  ASSERT_EQ(env.loop.ActiveTimers(), 1);
  int steps = 0;
  scope->OnUpdate = [&](TObject*) { ++steps; };
  env.loop.Advance(200);
  EXPECT_EQ(steps, 1);
}

TEST_F(ScopeTest, MainWindowLayoutShowsConstructorColoursFirst) {
  TWinControl& host = env.Host(500, 400);
  auto* scope = new TScope(&host);
  scope->SetParent(&host);
  host.BeginLoading();
  scope->SetBounds(228, 222, 233, 113);
  scope->SetBaseline(50);
  scope->SetGridsize(14);
  scope->SetActive(false);
  scope->SetPosition(100);
  scope->SetInterval(50);
  scope->SetColor(clBlack);
  scope->SetGridcolor(clSilver);
  scope->SetLinecolor(kTrace);
  scope->SetBasecolor(clBlack);
  host.EndLoading();
  EXPECT_EQ(scope->Buffer().GetPixel(232, 50), clGreen);
  EXPECT_EQ(scope->Buffer().GetPixel(100, 57), clRed);
  EXPECT_EQ(scope->Buffer().GetPixel(100, 50), clBlack);
  host.PaintToBackBuffer();
  EXPECT_EQ(host.BackBuffer().GetPixel(228 + 100, 222 + 57), clRed);

  scope->SetActive(true);
  env.loop.Advance(500);
  EXPECT_EQ(scope->Buffer().GetPixel(232, 99), clSilver);  // configured colours scroll in
  EXPECT_EQ(scope->Buffer().GetPixel(232, 57), clBlack);
  EXPECT_EQ(scope->Buffer().GetPixel(231, 57), kTrace);  // from the baseline up to row 0
  EXPECT_EQ(scope->LastY(), 0);
}

}  // namespace
}  // namespace qv::testing
