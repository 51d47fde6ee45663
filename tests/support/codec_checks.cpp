#include "support/codec_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "codec/rim_codec.h"
#include "support/bmp_file.h"
#include "support/test_support.h"

namespace testing_support {

const CImage& photograph() {
  static const CImage image = [] {
    CImage loaded;
    std::string error;
    EXPECT_TRUE(loadBmp(corpusPath("aqua.bmp"), loaded, &error)) << error;
    return loaded;
  }();
  return image;
}

double psnr(const CImage& a, const CImage& b) {
  double sum = 0;
  for (int y = 0; y < a.GetHeight(); ++y) {
    for (int x = 0; x < a.GetWidth(); ++x) {
      const std::uint32_t p = a.GetPixel(x, y);
      const std::uint32_t q = b.GetPixel(x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        const double d = static_cast<double>((p >> shift) & 0xFF) - ((q >> shift) & 0xFF);
        sum += d * d;
      }
    }
  }
  const double mse = sum / (3.0 * a.GetWidth() * a.GetHeight());
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

Status decode(const std::string& path, CImage& target, std::string* trace) {
  TraceCapture capture;
  CRIMCodec codec;
  const Status s = codec.decodeFile(target, path);
  if (trace != nullptr) *trace = capture.text();
  return s;
}

}  // namespace testing_support
