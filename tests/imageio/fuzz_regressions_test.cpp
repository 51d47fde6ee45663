// Inputs that once made an image-loading fuzz target fail, replayed.
#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "fuzz/qimage_input.h"
#include "imageio/qimage_raster.h"
#include "support/regressions.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::regressionInputs;

TEST(FuzzRegressions, DecodedImagesReachTheRasterAsQtShowsThem) {
  const std::vector<std::string> inputs = regressionInputs("fuzz_qimage_raster");
  ASSERT_FALSE(inputs.empty());
  for (const std::string& path : inputs) {
    SCOPED_TRACE(path);
    const std::string bytes = readFileBytes(path);
    const QImage source = fuzz_input::qimageFromBytes(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_FALSE(source.isNull());
    CImage raster;
    ASSERT_TRUE(imageio::rasterFromQImage(source, raster));
    if (!fuzz_input::exactFormat(source.format())) continue;
    int mismatches = 0;
    for (int y = 0; y < source.height(); ++y) {
      for (int x = 0; x < source.width(); ++x) {
        const QRgb want = source.pixel(x, y);
        if (raster.GetPixel(x, y) != makeColorWord(static_cast<std::uint32_t>(qRed(want)),
                                                   static_cast<std::uint32_t>(qGreen(want)),
                                                   static_cast<std::uint32_t>(qBlue(want))))
          ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}
