#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "animation/animation.h"
#include "cli/cli_test_support.h"
#include "document/fractal_document.h"
#include "files/param_file.h"

using namespace cli_test;

namespace {

TFractalParams Gallery(const std::string& name) {
  TFractalDocument document;
  const std::string path = std::string(OVEL_SOURCE_DIR) + "/docs/gallery/" + name + ".ifs";
  EXPECT_FALSE(document.Load(path, '.', {}).readError);
  return document.Record();
}

// Three keyframes of one G-Mira set at uneven times: its coefficients, colours and view move.
TAnimation Morph() {
  TAnimation a;
  a.width = 48;
  a.height = 32;
  a.steps = 20000;
  a.orbits = 4;
  a.frameRate = 4;
  TFractalParams v = Gallery("gumowski-mira");
  a.keyframes.push_back({"a.ifs", 0.0, v});
  v.af[1] += 0.02;
  v.red *= 0.5;
  v.zoom *= 3;
  v.xCenter += 1;
  a.keyframes.push_back({"b.ifs", 0.5, v});
  v.af[1] += 0.01;
  v.toneGamma = 1.5;
  a.keyframes.push_back({"c.ifs", 1.25, v});
  return a;
}

}  // namespace

TEST(Interpolation, ReturnsEachKeyframeExactlyAtItsTime) {
  for (const TInterpolation kind : {TInterpolation::Smooth, TInterpolation::Linear}) {
    for (const bool ease : {true, false}) {
      TAnimation a = Morph();
      a.interpolation = kind;
      a.ease = ease;
      ASSERT_EQ(a.FrameCount(), 6);
      EXPECT_EQ(FrameParams(a, 0), a.keyframes[0].params);
      EXPECT_EQ(FrameParams(a, 2), a.keyframes[1].params);
      EXPECT_EQ(FrameParams(a, 5), a.keyframes[2].params);
      // Between keyframes the moving fields lie between theirs and what does not move stays as it is.
      const TFractalParams mid = FrameParams(a, 1);
      EXPECT_GT(mid.af[1], a.keyframes[0].params.af[1]);
      EXPECT_LT(mid.af[1], a.keyframes[1].params.af[1]);
      EXPECT_EQ(mid.af[2], a.keyframes[0].params.af[2]);
      EXPECT_EQ(mid.toneGamma, a.keyframes[0].params.toneGamma);
    }
  }
}

TEST(Interpolation, SmoothFollowsAValueThatMovesEvenlyOverUnevenTimes) {
  // Catmull-Rom over the keyframes' own times keeps a steady motion steady; spacing the tangents by keyframe
  // number instead of time would bend it.
  TAnimation a = Morph();
  a.ease = false;
  for (TKeyframe& key : a.keyframes) key.params.intensity = 10 + 8 * key.time;
  for (const double t : {0.1, 0.3, 0.6, 0.9, 1.2})
    EXPECT_NEAR(ParamsAtTime(a, t).intensity, 10 + 8 * t, 1e-12) << t;
}

TEST(Interpolation, AZoomKeepsThePointBothViewsShareStillOnThePicture) {
  TAnimation a = Morph();
  a.keyframes.resize(2);
  const TFractalParams& p0 = a.keyframes[0].params;
  const TFractalParams& p1 = a.keyframes[1].params;
  // The point at the same place in both views: (P - c0) z0 = (P - c1) z1.
  const double px = (p1.xCenter * p1.zoom - p0.xCenter * p0.zoom) / (p1.zoom - p0.zoom);
  const double screen = (px - p0.xCenter) * p0.zoom;
  double previousZoom = p0.zoom;
  for (const double t : {0.1, 0.2, 0.3, 0.4}) {
    const TFractalParams v = ParamsAtTime(a, t);
    EXPECT_NEAR((px - v.xCenter) * v.zoom, screen, 1e-9) << t;
    EXPECT_GT(v.zoom, previousZoom);
    previousZoom = v.zoom;
  }
}

TEST(Keyframes, ThatDifferInASwitchAreRefusedNamingTheFirstDifference) {
  struct TCase {
    void (*change)(TFractalParams&);
    const char* message;
  };
  const TCase cases[] = {
      {[](TFractalParams& v) { v.latoocarfian01 = true; },
       "keyframes 1 (\"a.ifs\") and 2 (\"b.ifs\") differ in the family Latoocarfian 01 (off and on): families and "
       "switches must match between keyframes"},
      {[](TFractalParams& v) { v.sinusoidal = !v.sinusoidal; },
       "keyframes 1 (\"a.ifs\") and 2 (\"b.ifs\") differ in the variation Sinusoidal (off and on): families and "
       "switches must match between keyframes"},
      {[](TFractalParams& v) { v.maps = 3; },
       "keyframes 1 (\"a.ifs\") and 2 (\"b.ifs\") differ in the number of maps (2 and 3): families and switches "
       "must match between keyframes"},
  };
  for (const TCase& c : cases) {
    TAnimation a = Morph();
    c.change(a.keyframes[1].params);
    c.change(a.keyframes[2].params);
    try {
      CheckAnimation(a);
      ADD_FAILURE() << c.message;
    } catch (const EAnimation& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(AnimationFile, WrittenWithItsKeyframesReadsBackTheSameAnimation) {
  const TempFolder scratch;
  TAnimation a = Morph();
  a.interpolation = TInterpolation::Linear;
  a.seed = 77;
  a.keyframes[1].params.af[3] = 0.1 + 1e-16;  // exact digits
  SaveAnimationWithKeyframes(scratch / "morph.ovanim", a);
  EXPECT_EQ(a.keyframes[1].path, "morph-key02.ifs");
  const TAnimation b = ReadAnimation(scratch / "morph.ovanim");
  ASSERT_EQ(b.keyframes.size(), 3u);
  EXPECT_EQ(b.interpolation, TInterpolation::Linear);
  EXPECT_EQ(b.seed, 77u);
  EXPECT_EQ(b.steps, a.steps);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(b.keyframes[k].time, a.keyframes[k].time);
    EXPECT_EQ(b.keyframes[k].params.af, a.keyframes[k].params.af);
    EXPECT_EQ(b.keyframes[k].params.zoom, a.keyframes[k].params.zoom);
    EXPECT_EQ(b.keyframes[k].params.red, a.keyframes[k].params.red);
  }
}

TEST(AnimationFile, BadFilesAreRefusedNamingTheLine) {
  const TempFolder scratch;
  {
    std::ofstream(scratch / "a.ifs", std::ios::binary) << ReadBytes(std::string(OVEL_SOURCE_DIR) +
                                                                "/docs/gallery/gumowski-mira.ifs");
    std::ofstream(scratch / "bad.ifs") << "Ovel-IFS v0.005\nnot a number\n";
  }
  const std::string head = "ovel-ifs animation 1\n";
  struct TCase {
    std::string text, message;
  };
  const TCase cases[] = {
      {"", "line 1: the file is empty"},
      {"fps 25\n", "line 1: not an animation file: the first line must be \"ovel-ifs animation 1\""},
      {head + "fps fast\n", "line 2: fps needs a number"},
      {head + "fps 0\n", "line 2: fps must be above 0 and at most 1000"},
      {head + "size 640\n", "line 2: the height must be a whole number from 1 to 16384"},
      {head + "quality 5\nsteps 100\n", "line 3: quality and steps cannot both be given"},
      {head + "# note\n\nfps 25\nfps 30\n", "line 5: fps is given twice"},
      {head + "speed 2\n", "line 2: unknown setting \"speed\""},
      {head + "ease maybe\n", "line 2: ease must be on or off"},
      {head + "orbits 8 9\n", "line 2: unexpected \"9\" after orbits"},
      {head + "key 0\n", "line 2: key needs a parameter file after its time (key TIME FILE.ifs)"},
      {head + "key 1 a.ifs\nkey 1 a.ifs\n", "line 3: the key's time 1 does not come after the one before (1)"},
      {head + "fps 25\n", "line 2: the animation has no keyframes (key TIME FILE.ifs)"},
      {head + "key 0 a.ifs\nkey 1 bad.ifs\n",
       "line 3: Error reading parameter file \"" + scratch / "bad.ifs" + "\" (line 2)"},
      {head + "key 0 missing.ifs\n",
       "line 2: Cannot open file \"" + scratch / "missing.ifs" + "\": No such file or directory"},
      {head + std::string(5000, 'x') + "\n", "line 2: the line is longer than 4096 characters"},
  };
  for (const TCase& c : cases) {
    const std::string path = scratch / "bad.ovanim";
    std::ofstream(path, std::ios::binary) << c.text;
    try {
      ReadAnimation(path);
      ADD_FAILURE() << c.message;
    } catch (const EAnimation& e) {
      EXPECT_EQ(e.what(), "\"" + path + "\" " + c.message);
    }
  }
}

TEST(FrameFileName, ReplacesItsOneNumberAndRefusesOtherPatterns) {
  EXPECT_EQ(FrameFileName("out/frame-%04d.png", 17), "out/frame-0017.png");
  EXPECT_EQ(FrameFileName("%d%%.png", 123), "123%.png");
  EXPECT_EQ(FrameFileName("f%3d.png", 5), "f  5.png");
  for (const char* bad : {"frame.png", "f%s.png", "%d-%d.png", "f%04.png"}) EXPECT_THROW(FrameFileName(bad, 1), EAnimation) << bad;
}

TEST(FrameRun, AFrameRenderedAloneIsTheSameFrameOfTheWholeRun) {
  const TempFolder scratch;
  const TAnimation a = Morph();
  std::atomic<bool> cancel{false};
  TFrameRun all;
  all.threads = 2;
  all.seed = 5;
  all.pattern = scratch / "all-%02d.png";
  const TFrameRunResult whole = RenderFrames(a, all, cancel);
  EXPECT_EQ(whole.written, 6);
  EXPECT_FALSE(whole.cancelled);
  TFrameRun one = all;
  one.first = one.last = 3;
  one.threads = 1;
  one.pattern = scratch / "one-%02d.png";
  EXPECT_EQ(RenderFrames(a, one, cancel).written, 1);
  EXPECT_EQ(ReadBytes(scratch / "one-03.png"), ReadBytes(scratch / "all-03.png"));
  EXPECT_NE(ReadBytes(scratch / "all-03.png"), ReadBytes(scratch / "all-04.png"));
  EXPECT_FALSE(fs::exists(scratch / "one-02.png"));
}

TEST(FrameRun, SkipsFramesOnDiskAndACancelledRunLeavesNoPartialFile) {
  const TempFolder scratch;
  TAnimation a = Morph();
  a.steps = 200'000'000;  // far more than the test waits for
  std::ofstream(scratch / "f-1.png") << "kept";
  std::atomic<bool> cancel{false};
  TFrameRun run;
  run.threads = 2;
  run.first = 0;
  run.last = 1;
  run.pattern = scratch / "f-%d.png";
  int reports = 0;
  run.progress = [&](const TFrameRunProgress& p) {
    EXPECT_EQ(p.framesSkipped, 1);
    if (++reports == 2) cancel = true;
  };
  const TFrameRunResult result = RenderFrames(a, run, cancel);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(result.skipped, 1);
  EXPECT_EQ(result.written, 0);
  EXPECT_EQ(ReadBytes(scratch / "f-1.png"), "kept");
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"f-1.png"});
}

TEST(FrameRun, RefusesARangeOutsideTheAnimation) {
  const TAnimation a = Morph();
  std::atomic<bool> cancel{false};
  TFrameRun run;
  run.pattern = "f-%d.png";
  run.first = 4;
  run.last = 6;
  try {
    RenderFrames(a, run, cancel);
    ADD_FAILURE();
  } catch (const EAnimation& e) {
    EXPECT_STREQ(e.what(), "frames 4 to 6 are not in the animation, whose frames are 0 to 5");
  }
}

TEST(Video, IsEncodedByFfmpegFromTheFrames) {
  if (system("command -v ffmpeg > /dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
  const TempFolder scratch;
  const TAnimation a = Morph();
  std::atomic<bool> cancel{false};
  TFrameRun run;
  run.threads = 2;
  run.pattern = scratch / "f-%04d.png";
  RenderFrames(a, run, cancel);
  EncodeVideo(run.pattern, 0, a.FrameCount() - 1, a.frameRate, scratch / "out.webm");
  const std::string video = ReadBytes(scratch / "out.webm");
  ASSERT_GT(video.size(), 100u);
  EXPECT_EQ(video.substr(0, 4), "\x1A\x45\xDF\xA3");  // Matroska / WebM
  EncodeVideo(run.pattern, 0, a.FrameCount() - 1, a.frameRate, scratch / "out.gif");
  EXPECT_EQ(ReadBytes(scratch / "out.gif").substr(0, 6), "GIF89a");
  // ffmpeg would end the video at a missing frame and call it done; it is refused, and nothing is left behind.
  fs::remove(scratch / "f-0002.png");
  try {
    EncodeVideo(run.pattern, 0, 5, a.frameRate, scratch / "broken.mp4");
    ADD_FAILURE();
  } catch (const EAnimation& e) {
    EXPECT_EQ(e.what(), "cannot make \"" + scratch / "broken.mp4" + "\": frame 2 is missing (\"" +
                            scratch / "f-0002.png" + "\")");
  }
  EXPECT_FALSE(fs::exists(scratch / "broken.mp4"));
  // An encoder that fails says why.
  std::ofstream(scratch / "f-0002.png") << "not a picture";
  EXPECT_THROW(EncodeVideo(run.pattern, 0, 5, a.frameRate, scratch / "broken.mp4"), EAnimation);
  EXPECT_FALSE(fs::exists(scratch / "broken.mp4"));
}

TEST(Video, WithoutFfmpegOnThePathSaysHowToGetIt) {
  const char* saved = std::getenv("PATH");
  const std::string path = saved ? saved : "";
  setenv("PATH", "/nonexistent", 1);
  try {
    CheckVideoEncoder("out.mp4");
    ADD_FAILURE();
  } catch (const EAnimation& e) {
    EXPECT_STREQ(e.what(), "cannot make \"out.mp4\": ffmpeg is not installed (Debian: apt-get install ffmpeg), or "
                           "not on PATH; the frames can be rendered without it with -o DIR/frame-%04d.png");
  }
  setenv("PATH", path.c_str(), 1);
}
