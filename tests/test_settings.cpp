// launcher.ini and video.ini: the value rules on load, the exact saved text,
// and what survives a round trip.
#include <gtest/gtest.h>

#include "settings/launcher_settings.h"
#include "settings/video_settings.h"
#include "test_files.h"

TEST(LauncherSettings, BareSectionGivesDefaults) {
  TempDir dir;
  writeFile(dir / "launcher.ini", "[launcher]\n");
  LauncherSettings s;
  s.disc = "stale";
  s.motion = false;
  s.built = true;
  ASSERT_TRUE(s.load(dir / "launcher.ini"));
  EXPECT_EQ(s.disc, "");
  EXPECT_EQ(s.language, "");
  EXPECT_TRUE(s.motion);
  EXPECT_TRUE(s.updateCheck);
  EXPECT_FALSE(s.buildPending);
  EXPECT_FALSE(s.built);
  EXPECT_EQ(s.lastBuildSeconds, 0);
  EXPECT_EQ(s.pendingBuildSeconds, 0);
}

TEST(LauncherSettings, MissingFileKeepsFields) {
  TempDir dir;
  LauncherSettings s;
  s.disc = "kept";
  EXPECT_FALSE(s.load(dir / "none.ini"));
  EXPECT_EQ(s.disc, "kept");
}

TEST(LauncherSettings, ValueRules) {
  TempDir dir;
  writeFile(dir / "launcher.ini",
            "motion = no\nupdate_check = 0\nbuild_pending = 1\nbuilt = yes\n"
            "last_build_seconds = 1234.6s\npending_build_seconds = abc\n");
  LauncherSettings s;
  ASSERT_TRUE(s.load(dir / "launcher.ini"));
  EXPECT_TRUE(s.motion);        // only "0" turns it off
  EXPECT_FALSE(s.updateCheck);
  EXPECT_TRUE(s.buildPending);
  EXPECT_FALSE(s.built);        // only "1" turns it on
  EXPECT_DOUBLE_EQ(s.lastBuildSeconds, 1234.6);
  EXPECT_EQ(s.pendingBuildSeconds, 0);
}

TEST(LauncherSettings, ExactTextAndRoundTrip) {
  TempDir dir;
  std::string path = dir / "launcher.ini";
  // A hand-added key and a comment are dropped; "#" in the path survives.
  writeFile(path, "# mine\n[launcher]\ndisc = /isos/Ember #2/disc.iso\nlanguage = fr\nmotion = 0\n"
                  "last_build_seconds = 1234.6\nhand_added = 1\n");
  LauncherSettings s;
  ASSERT_TRUE(s.load(path));
  ASSERT_TRUE(s.save(path));
  EXPECT_EQ(readFile(path),
            "# Veyra Launcher's settings (the launcher writes this file).\n"
            "[launcher]\n"
            "disc = /isos/Ember #2/disc.iso\n"
            "language = fr\n"
            "motion = 0\n"
            "build_pending = 0\n"
            "built = 0\n"
            "last_build_seconds = 1235\n"
            "pending_build_seconds = 0\n"
            "update_check = 1\n");
  LauncherSettings again;
  ASSERT_TRUE(again.load(path));
  EXPECT_EQ(again.disc, "/isos/Ember #2/disc.iso");
}

// A duration of 301 digits is written whole, so it reads back as itself.
TEST(LauncherSettings, HugeDurationSurvivesASave) {
  TempDir dir;
  std::string path = dir / "launcher.ini";
  writeFile(path, "last_build_seconds = 1e300\n");
  LauncherSettings s, again;
  ASSERT_TRUE(s.load(path));
  ASSERT_TRUE(s.save(path));
  ASSERT_TRUE(again.load(path));
  EXPECT_EQ(again.lastBuildSeconds, s.lastBuildSeconds);
}

TEST(VideoSettings, AcceptanceRules) {
  struct Case {
    const char* line;
    int width, height;
    const char* mode;
    int gsScale;
    const char* renderScale;
  };
  // Each line is loaded over the defaults (0x0, windowed, 1, "1").
  const Case cases[] = {
      {"size = 1920 x 1080", 0, 0, "windowed", 1, "1"},
      {"size = 100x100", 0, 0, "windowed", 1, "1"},
      {"size = 160x120", 160, 120, "windowed", 1, "1"},
      {"size = 1280x720 (HD)", 1280, 720, "windowed", 1, "1"},
      {"size = 99999999999x1080", 0, 0, "windowed", 1, "1"},  // beyond an int: rejected
      {"size = 1920x 1080", 1920, 1080, "windowed", 1, "1"},
      {"mode = Fullscreen", 0, 0, "windowed", 1, "1"},
      {"mode = borderless # the monitor", 0, 0, "borderless", 1, "1"},
      {"gs_scale = 9", 0, 0, "windowed", 4, "1"},
      {"gs_scale = 0", 0, 0, "windowed", 1, "1"},
      {"gs_scale = two", 0, 0, "windowed", 1, "1"},
      {"gs_scale = 3x", 0, 0, "windowed", 3, "1"},
      {"render_scale = 0.1", 0, 0, "windowed", 1, "0.1"},
      {"render_scale =", 0, 0, "windowed", 1, "1"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    writeFile(dir / "video.ini", std::string("[video]\n") + c.line + "\n");
    VideoSettings v;
    ASSERT_TRUE(v.load(dir / "video.ini"));
    EXPECT_TRUE(v.videoSaved);
    EXPECT_EQ(v.width, c.width) << c.line;
    EXPECT_EQ(v.height, c.height) << c.line;
    EXPECT_EQ(v.mode, c.mode) << c.line;
    EXPECT_EQ(v.gsScale, c.gsScale) << c.line;
    EXPECT_EQ(v.renderScale, c.renderScale) << c.line;
  }
}

TEST(VideoSettings, RejectedValueKeepsPrevious) {
  TempDir dir;
  writeFile(dir / "video.ini", "size = 1920 x 1080\nmode = Fullscreen\n");
  VideoSettings v;
  v.width = 800;
  v.height = 600;
  v.mode = "borderless";
  ASSERT_TRUE(v.load(dir / "video.ini"));
  EXPECT_EQ(v.width, 800);
  EXPECT_EQ(v.mode, "borderless");
  EXPECT_FALSE(VideoSettings().load(dir / "none.ini"));
}

TEST(VideoSettings, SavedTextCarriesUnknownKeysSorted) {
  TempDir dir;
  std::string path = dir / "video.ini";
  writeFile(path, "[game]\nzeta = last\nframe_rate = 60\nempty_one =\n; own comment\nalpha = first # note\n");
  VideoSettings v;
  ASSERT_TRUE(v.load(path));
  // The Video tab's own step: an unset size is saved as the game's default.
  if (v.width == 0 && v.height == 0) {
    v.width = 640;
    v.height = 448;
  }
  ASSERT_TRUE(v.save(path));
  EXPECT_EQ(readFile(path),
            "# The window (the Video tab of the settings window, F2, writes this file; RA2V_WINDOW_SIZE, "
            "RA2V_WINDOW_MODE,\n"
            "# RA2V_RENDER_SCALE and RA2V_FRAME_RATE override it).\n"
            "# mode: windowed, fullscreen (exclusive) or borderless (the monitor's size). render_scale: the 3D "
            "drawn at\n"
            "# that many times the window's size each way (0.25 to 4). Frame rate is preserved from the in-game "
            "settings.\n"
            "\n"
            "[video]\n"
            "size = 640x448\n"
            "mode = windowed\n"
            "render_scale = 1\n"
            "gs_scale = 1\n"
            "frame_rate = 60\n"
            "alpha = first\n"
            "zeta = last\n");
  VideoSettings again;
  ASSERT_TRUE(again.load(path));
  EXPECT_EQ(again.width, 640);
  EXPECT_EQ(again.height, 448);
}

TEST(VideoSettings, ResolutionChoices) {
  using Sizes = std::vector<std::pair<int, int>>;
  EXPECT_EQ(VideoSettings::resolutionChoices(1920, 1080),
            (Sizes{{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 960}, {1366, 768}, {1440, 1080},
                   {1600, 900}, {1920, 1080}}));
  EXPECT_EQ(VideoSettings::resolutionChoices(1680, 1050),
            (Sizes{{640, 480}, {800, 600}, {1024, 768}, {1280, 720}, {1280, 960}, {1366, 768}, {1600, 900},
                   {1680, 1050}}));
  Sizes all = VideoSettings::resolutionChoices(0, 0);
  EXPECT_EQ(all.size(), 15u);
  EXPECT_EQ(all.front(), (std::pair<int, int>{640, 480}));
  EXPECT_EQ(all.back(), (std::pair<int, int>{3840, 2160}));
}
