// The codec end to end: encoding a photograph with PCA and with ICA bases,
// decoding it, and the one-pixel-per-patch preview; the same at 1920 x 1080
// (the photograph scaled up) for the decode and PCA encode goals.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "codec/rim_codec.h"
#include "numeric/trace.h"
#include "support/bmp_file.h"

namespace {

const std::string kPhotograph = std::string(FOLIM_TEST_DATA_DIR) + "/corpus/aqua.bmp";

std::string scratch(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("folim-bench-" + name)).string();
}

const CImage& photograph() {
  static const CImage image = [] {
    CImage loaded;
    if (!testing_support::loadBmp(kPhotograph, loaded)) std::fprintf(stderr, "no photograph\n");
    return loaded;
  }();
  return image;
}

// The photograph scaled to 1920 x 1080 by bilinear interpolation.
const CImage& fullHd() {
  static const CImage image = [] {
    const CImage& src = photograph();
    CImage big;
    big.Create(1920, 1080, 24);
    for (int y = 0; y < 1080; ++y) {
      const double sy = (y + 0.5) * src.GetHeight() / 1080.0 - 0.5;
      const int y0 = sy < 0 ? 0 : static_cast<int>(sy);
      const int y1 = y0 + 1 < src.GetHeight() ? y0 + 1 : y0;
      const double fy = sy - y0 < 0 ? 0 : sy - y0;
      for (int x = 0; x < 1920; ++x) {
        const double sx = (x + 0.5) * src.GetWidth() / 1920.0 - 0.5;
        const int x0 = sx < 0 ? 0 : static_cast<int>(sx);
        const int x1 = x0 + 1 < src.GetWidth() ? x0 + 1 : x0;
        const double fx = sx - x0 < 0 ? 0 : sx - x0;
        std::uint32_t word = 0;
        for (int shift = 0; shift < 24; shift += 8) {
          auto c = [&](int px, int py) {
            return static_cast<double>((src.GetPixel(px, py) >> shift) & 0xFF);
          };
          const double v = (c(x0, y0) * (1 - fx) + c(x1, y0) * fx) * (1 - fy) +
                           (c(x0, y1) * (1 - fx) + c(x1, y1) * fx) * fy;
          word |= static_cast<std::uint32_t>(v) << shift;
        }
        big.SetPixel(x, y, word);
      }
    }
    return big;
  }();
  return image;
}

Status encode(const CImage& image, const std::string& out, std::uint32_t iterations) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  learning.MaxIterations = iterations;
  CRIMCodec codec;
  Status s = codec.setParameters(&common, &learning, &compression);
  if (s == status::Success) s = codec.encodeFile(out, image);
  return s;
}

void runEncode(benchmark::State& state, const CImage& image, std::uint32_t iterations,
               const std::string& name) {
  setTraceStream(nullptr);
  const std::string out = scratch(name);
  for (auto _ : state) {
    if (encode(image, out, iterations) != status::Success) state.SkipWithError("encode failed");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(out));
  state.counters["bpp"] = 8.0 * std::filesystem::file_size(out) /
                          (static_cast<double>(image.GetWidth()) * image.GetHeight());
}

void runDecode(benchmark::State& state, const CImage& image, const std::string& name,
               bool preview) {
  setTraceStream(nullptr);
  const std::string path = scratch(name);
  if (encode(image, path, 0) != status::Success) state.SkipWithError("encode failed");
  for (auto _ : state) {
    CImage target;
    CRIMCodec codec;
    const Status s =
        preview ? codec.renderAveragePreview(target, path) : codec.decodeFile(target, path);
    if (s != status::Success) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(target.GetBits());
  }
}

void BM_EncodePca(benchmark::State& state) { runEncode(state, photograph(), 0, "pca.rim"); }
void BM_EncodeIca100(benchmark::State& state) { runEncode(state, photograph(), 100, "ica.rim"); }
void BM_Decode(benchmark::State& state) { runDecode(state, photograph(), "dec.rim", false); }
void BM_Preview(benchmark::State& state) { runDecode(state, photograph(), "prev.rim", true); }
void BM_EncodePca1080p(benchmark::State& state) { runEncode(state, fullHd(), 0, "hd.rim"); }
void BM_Decode1080p(benchmark::State& state) { runDecode(state, fullHd(), "hd-dec.rim", false); }

}  // namespace

BENCHMARK(BM_EncodePca)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeIca100)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Preview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodePca1080p)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Decode1080p)->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
