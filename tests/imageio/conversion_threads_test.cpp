// Work on several threads at once, as the desktop shell does it: a RIM batch
// conversion on its worker thread while the user-interface thread converts
// RIM files to BMP, loads thumbnails and saves images. Each codec object,
// raster and file belongs to one thread; the results must be those of the
// same work done one piece after the other. (Run under ThreadSanitizer by
// `make tsan`.)
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "imageio/batch_convert.h"
#include "imageio/image_ex.h"
#include "imageio/image_library.h"
#include "imageio/library_io.h"
#include "imageio/listing.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using testing_support::patternImage;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeRimFile;

namespace {

// Sources of both jobs: PNG images for the RIM job, RIM files for the BMP
// job and for thumbnails.
struct Sources {
  TempDir pictures;
  TempDir rims;
  Sources() {
    for (int i = 0; i < 4; ++i) {
      const std::string stem = "p" + std::to_string(i);
      EXPECT_TRUE(
          SaveByExtension(patternImage(40 + 8 * i, 24 + 4 * i), pictures.file(stem + ".png")));
      EXPECT_EQ(writeRimFile(rims.file(stem + ".rim"), patternImage(32 + 4 * i, 32)), 0);
    }
  }
};

std::vector<std::string> contentsOf(const std::string& dir, const std::vector<std::string>& names) {
  std::vector<std::string> contents;
  for (const std::string& name : names) contents.push_back(readFileBytes(dir + "/" + name));
  return contents;
}

const std::vector<std::string> kRimOutputs = {"p0.rim", "p1.rim", "p2.rim", "p3.rim"};
const std::vector<std::string> kBmpOutputs = {"p0.bmp", "p1.bmp", "p2.bmp", "p3.bmp"};

}  // namespace

TEST(ConversionThreads, RimWorkerBesideTheInterfaceThread) {
  // A trace written from two threads into one captured string would be the
  // test's own race.
  TraceTarget quiet(nullptr);
  Sources sources;
  const std::vector<ListedImage> pictures = listImageFiles(sources.pictures.path(), false);
  const std::vector<ListedImage> rims = listImageFiles(sources.rims.path(), false);
  ASSERT_EQ(pictures.size(), 4u);
  ASSERT_EQ(rims.size(), 4u);

  // The same work one job after the other.
  TempDir serialRim;
  TempDir serialBmp;
  ASSERT_EQ(convertToRim(pictures, serialRim.path(), {}).message,
            "finished conversion to RIM images!");
  ASSERT_EQ(convertToBmp(rims, serialBmp.path(), {}).message, "Finished converting to BMP images!");

  TempDir parallelRim;
  TempDir parallelBmp;
  TempDir saved;
  BatchReport rimReport;
  std::thread worker([&] { rimReport = convertToRim(pictures, parallelRim.path(), {}); });
  // Meanwhile on this thread: the BMP job, thumbnails and saving.
  const BatchReport bmpReport = convertToBmp(rims, parallelBmp.path(), {});
  for (int round = 0; round < 3; ++round) {
    for (const ListedImage& item : rims) {
      CImageEx thumbnail;
      EXPECT_TRUE(thumbnail.LoadImageFile(item.path, true));
      thumbnail.FitInto(96, 96);
      QImage bitmap;
      EXPECT_TRUE(thumbnail.MakeThumbnail(bitmap));
      EXPECT_TRUE(SaveByExtension(thumbnail, saved.file(item.name + ".png")));
    }
    for (const ListedImage& item : pictures) {
      CImageEx image;
      EXPECT_TRUE(image.LoadImageFile(item.path, false));
      EXPECT_FALSE(image.IsNull());
    }
  }
  worker.join();

  EXPECT_EQ(rimReport.message, "finished conversion to RIM images!");
  EXPECT_EQ(bmpReport.message, "Finished converting to BMP images!");
  EXPECT_EQ(contentsOf(parallelRim.path(), kRimOutputs), contentsOf(serialRim.path(), kRimOutputs));
  EXPECT_EQ(contentsOf(parallelBmp.path(), kBmpOutputs), contentsOf(serialBmp.path(), kBmpOutputs));
  EXPECT_EQ(imageio::liveRasterCount(), 0);
}

TEST(ConversionThreads, EncodesAndDecodesOnSeveralThreadsAtOnce) {
  TraceTarget quiet(nullptr);
  TempDir dir;
  constexpr int kThreads = 3;
  // One after the other first.
  std::vector<std::string> expected;
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(writeRimFile(dir.file("serial" + std::to_string(t) + ".rim"),
                           patternImage(48 + 16 * t, 40), static_cast<std::uint16_t>(t % 3), t),
              0);
    expected.push_back(readFileBytes(dir.file("serial" + std::to_string(t) + ".rim")));
  }
  std::vector<Status> encoded(kThreads, -1);
  std::vector<Status> decoded(kThreads, -1);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string path = dir.file("parallel" + std::to_string(t) + ".rim");
      for (int round = 0; round < 2; ++round) {
        encoded[t] =
            writeRimFile(path, patternImage(48 + 16 * t, 40), static_cast<std::uint16_t>(t % 3), t);
        CImage image;
        CRIMCodec codec;
        decoded[t] = codec.decodeFile(image, path);
        if (decoded[t] == 0 && image.GetWidth() != 48 + 16 * t) decoded[t] = -2;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(encoded[t], 0) << t;
    EXPECT_EQ(decoded[t], 0) << t;
    EXPECT_EQ(readFileBytes(dir.file("parallel" + std::to_string(t) + ".rim")), expected[t]) << t;
  }
}
