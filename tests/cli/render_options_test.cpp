#include "cli/render_options.h"

#include "engine/gradient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TRenderOptions Parse(const std::vector<std::string>& args) { return ParseRenderArguments(args); }

std::string UsageError(const std::vector<std::string>& args) {
  try {
    ParseRenderArguments(args);
  } catch (const ERenderUsage& error) {
    return error.what();
  }
  return "(accepted)";
}

}  // namespace

TEST(RenderOptions, DefaultsAreTheExampleAtFourHundredByThreeHundredForFiveMillionSteps) {
  const TRenderOptions o = Parse({});
  EXPECT_FALSE(o.paramsPath);
  EXPECT_EQ(o.outputPath, "ovel-ifs.png");
  EXPECT_EQ(o.width, 400);
  EXPECT_EQ(o.height, 300);
  EXPECT_EQ(o.steps, 5000000);
  EXPECT_FALSE(o.seconds);
  EXPECT_FALSE(o.seed);
  EXPECT_EQ(o.maps, 2);
  EXPECT_EQ(o.orbits, 8);
  EXPECT_FALSE(o.threads) << "the machine's cores";
  EXPECT_FALSE(o.white || o.random || o.writeParams || o.quiet || o.help || o.version);
  const TFileOptions defaults;
  EXPECT_EQ(o.fileOptions.JPEGQuality, defaults.JPEGQuality);
  EXPECT_EQ(o.fileOptions.TIFFResXNum, 300);
  EXPECT_TRUE(o.fileOptions.WriteGamma);
}

TEST(RenderOptions, ReadsEveryOptionInBothSpellings) {
  const TRenderOptions o =
      Parse({"in.ifs", "-o", "out.tif", "--size=640x480", "--seed", "18446744073709551615", "--maps", "0", "--white",
             "--random", "--write-params", "--quiet", "--jpeg-quality", "95", "--jpeg-dct=fast", "--progressive",
             "--pnm-binary", "--tiff-compression", "packbits", "--tiff-cmyk", "--tiff-byte-order", "M",
             "--tiff-white-is-zero", "--tiff-res-unit", "cm", "--tiff-res", "118,59", "--no-gamma", "--gamma", "2.2"});
  EXPECT_EQ(o.paramsPath.value_or(""), "in.ifs");
  EXPECT_EQ(o.outputPath, "out.tif");
  EXPECT_EQ(o.width, 640);
  EXPECT_EQ(o.height, 480);
  EXPECT_EQ(o.seed.value_or(0), 18446744073709551615ull);
  EXPECT_EQ(o.maps, 0);
  EXPECT_TRUE(o.white && o.random && o.writeParams && o.quiet);
  const TFileOptions& f = o.fileOptions;
  EXPECT_EQ(f.JPEGQuality, 95);
  EXPECT_EQ(f.JPEGWriteDCTMethod, TJPEGDCTMethod::IntFast);
  EXPECT_TRUE(f.JPEGProgressive);
  EXPECT_TRUE(f.PXMWriteBinary);
  EXPECT_EQ(f.TIFFCompression, TIFFCompressionPackBits);
  EXPECT_TRUE(f.TIFFWriteCMYK);
  EXPECT_TRUE(f.TIFFByteOrderM);
  EXPECT_TRUE(f.TIFFWhiteIsZero);
  EXPECT_EQ(f.TIFFResUnit, TTIFFResUnit::Centimeter);
  EXPECT_EQ(f.TIFFResXNum, 118);
  EXPECT_EQ(f.TIFFResYNum, 59);
  EXPECT_EQ(f.TIFFResXDen, 1);
  EXPECT_FALSE(f.WriteGamma);
  EXPECT_DOUBLE_EQ(static_cast<double>(f.ScreenGamma), 2.2);

  EXPECT_EQ(Parse({"--seconds", "2.5"}).seconds.value_or(0), 2.5);
  EXPECT_EQ(Parse({"--steps=7"}).steps, 7);
  EXPECT_EQ(Parse({"--orbits", "1"}).orbits, 1);
  EXPECT_EQ(Parse({"--orbits=256"}).orbits, 256);
  EXPECT_EQ(Parse({"--threads", "3"}).threads.value_or(0), 3);
  EXPECT_EQ(Parse({"--jpeg-dct", "int"}).fileOptions.JPEGWriteDCTMethod, TJPEGDCTMethod::IntPrecise);
  EXPECT_EQ(Parse({"--tiff-res-unit", "none"}).fileOptions.TIFFResUnit, TTIFFResUnit::None);
  EXPECT_TRUE(Parse({"-h"}).help);
  EXPECT_EQ(Parse({"--", "-odd.ifs"}).paramsPath.value_or(""), "-odd.ifs");
  EXPECT_EQ(Parse({"--size", "1X16384"}).height, 16384);
}

TEST(RenderOptions, RefusesBadArgumentsNamingTheProblem) {
  EXPECT_EQ(UsageError({"--bogus"}), "unknown option '--bogus'");
  EXPECT_EQ(UsageError({"a.ifs", "b.ifs"}), "more than one parameter file: 'b.ifs'");
  EXPECT_EQ(UsageError({"-o"}), "option -o needs a value");
  EXPECT_EQ(UsageError({"--white=yes"}), "option --white takes no value");
  EXPECT_EQ(UsageError({"--steps", "5", "--seconds", "1"}), "--steps and --seconds cannot be used together");
  EXPECT_EQ(UsageError({"--maps", "4"}), "invalid value '4' for --maps: expected 0, 1, 2 or 3");
  EXPECT_EQ(UsageError({"--jpeg-dct", "slow"}), "invalid value 'slow' for --jpeg-dct: expected fast|float|int");
  EXPECT_EQ(UsageError({"-o", ""}), "the output file name is empty");
  for (const char* size : {"400", "0x300", "400x0", "-4x3", "16385x1", "4x3x", "x", "400 x300", "4.5x3"}) {
    EXPECT_NE(UsageError({"--size", size}).find("for --size"), std::string::npos) << size;
  }
  for (const char* steps : {"0", "-1", "1e6", "5,000", "", " 5", "+5", "99999999999999999999"}) {
    EXPECT_NE(UsageError({"--steps", steps}).find("for --steps"), std::string::npos) << steps;
  }
  for (const char* seconds : {"0", "-1", "nan", "inf", "1e10", "x", "1,5"}) {
    EXPECT_NE(UsageError({"--seconds", seconds}).find("for --seconds"), std::string::npos) << seconds;
  }
  for (const char* quality : {"101", "-1", "300", "q"}) {
    EXPECT_NE(UsageError({"--jpeg-quality", quality}).find("for --jpeg-quality"), std::string::npos) << quality;
  }
  for (const char* res : {"300", "0,300", "300,", "a,b", "300,300,300", "3000000000,1"}) {
    EXPECT_NE(UsageError({"--tiff-res", res}).find("for --tiff-res"), std::string::npos) << res;
  }
  EXPECT_NE(UsageError({"--seed", "-1"}).find("for --seed"), std::string::npos);
  for (const char* count : {"0", "-1", "257", "2.5", "", "eight"}) {
    EXPECT_EQ(UsageError({"--orbits", count}),
              "invalid value '" + std::string(count) + "' for --orbits: expected a whole number from 1 to 256");
    EXPECT_EQ(UsageError({"--threads", count}),
              "invalid value '" + std::string(count) + "' for --threads: expected a whole number from 1 to 256");
  }
  // A gamma a PNG cannot record is refused before the render, not after it.
  for (const char* gamma : {"0", "-1", "1e6", "20000", "0.00001", "nan"}) {
    EXPECT_NE(UsageError({"--gamma", gamma}).find("for --gamma"), std::string::npos) << gamma;
  }
  EXPECT_NE(UsageError({"--tiff-byte-order", "i"}).find("for --tiff-byte-order"), std::string::npos);
  EXPECT_EQ(UsageError({"--supersample", "7"}),
            "invalid value '7' for --supersample: expected a whole number from 1 to 6");
  EXPECT_EQ(UsageError({"--filter-radius", "-0.5"}), "invalid value '-0.5' for --filter-radius: expected a number from 0 to 8");
  EXPECT_EQ(UsageError({"--quality", "5", "--steps", "9"}), "--quality and --steps cannot be used together");
}

TEST(RenderOptions, GradientOptionsAreReadAndBadOnesRefused) {
  const TRenderOptions o = ParseRenderArguments({"--colouring", "gradient", "--gradient=Magma", "--gradient-offset",
                                                 "-0.25", "--vibrancy", "0.5", "--colour-positions", "0.1,1,0",
                                                 "--gradient-reverse", "--gradient-scale", "3"});
  EXPECT_EQ(o.colouring, TColouring::Gradient);
  EXPECT_EQ(o.gradient, "Magma");
  EXPECT_EQ(o.gradientOffset, -0.25);
  EXPECT_EQ(o.vibrancy, 0.5);
  EXPECT_EQ(o.colourPositions, (std::array<double, 3>{0.1, 1, 0}));
  EXPECT_TRUE(o.gradientReversed);
  EXPECT_EQ(o.gradientScale, 3);
  const auto refusal = [](const std::vector<std::string>& args) {
    try {
      ParseRenderArguments(args);
    } catch (const ERenderUsage& e) {
      return std::string(e.what());
    }
    return std::string("(accepted)");
  };
  EXPECT_EQ(refusal({"--colouring", "hue"}), "invalid value 'hue' for --colouring: expected defined|gradient");
  EXPECT_EQ(refusal({"--gradient", "nosuch"}),
            "invalid value 'nosuch' for --gradient: expected a built-in gradient (see --help) or a .map or .ggr file");
  EXPECT_EQ(refusal({"--vibrancy", "1.5"}), "invalid value '1.5' for --vibrancy: expected a number from 0 to 1");
  EXPECT_EQ(refusal({"--colour-positions", "0.1,2,0"}),
            "invalid value '0.1,2,0' for --colour-positions: expected three numbers from 0 to 1 separated by commas "
            "(P1,P2,P3)");
  EXPECT_EQ(refusal({"--colour-positions", "0.1,0.2"}),
            "invalid value '0.1,0.2' for --colour-positions: expected three numbers from 0 to 1 separated by commas "
            "(P1,P2,P3)");
  EXPECT_EQ(refusal({"--resume", "a.ovc", "--colouring", "gradient"}),
            "--colouring decides what a render counts and cannot change when it is resumed");
}

TEST(RenderOptions, HelpDocumentsEveryOption) {
  const std::string help = RenderHelpText();
  for (const char* option :
       {"PARAMS.ifs", "-o, --output", "--size", "--steps", "--seconds", "--seed", "--maps", "--orbits", "--threads", "--white", "--random",
        "--write-params", "--quiet", "--help", "--version", "--jpeg-quality", "--jpeg-dct", "--progressive",
        "--pnm-binary", "--tiff-compression", "--tiff-cmyk", "--tiff-byte-order", "--tiff-white-is-zero",
        "--tiff-res-unit", "--tiff-res X,Y", "--no-gamma", "--gamma", "--supersample", "--filter-radius",
        "--quality", "--colouring defined|gradient", "--gradient NAME|FILE", "--gradient-offset", "--gradient-scale",
        "--gradient-reverse", "--vibrancy", "--colour-positions", "Exit status"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  for (const TGradient& g : BuiltInGradients()) EXPECT_NE(help.find(" " + g.name), std::string::npos) << g.name;
  EXPECT_EQ(help.find("@"), std::string::npos);
  EXPECT_EQ(RenderUsageText().rfind("Usage: ovel-ifs-render [PARAMS.ifs]", 0), 0u);
}
