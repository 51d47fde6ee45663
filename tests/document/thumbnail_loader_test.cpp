// A page's thumbnails are made on the pool's threads and arrive in page
// order; a batch started over a running one, a cancelled one and one whose
// loader is destroyed deliver nothing more.
#include <gtest/gtest.h>

#include <QImage>
#include <QObject>
#include <memory>
#include <vector>

#include "core_application.h"
#include "imageio/image_ex.h"
#include "shell/thumbnail_loader.h"
#include "support/test_support.h"

namespace {

using document_testing::waitUntil;

// count jobs over the example photographs, one of them a file that is not
// there (its thumbnail is the broken-picture sign), indices from first.
std::vector<CThumbnailLoader::Job> page(int count, int first) {
  static const char* const names[] = {"aqua.jpg",    "blinds.jpg",  "dune.jpg",
                                      "garden.tiff", "missing.jpg", "ladybird.png",
                                      "storm.jpg",   "wood.jpg",    "yellowflower.gif"};
  std::vector<CThumbnailLoader::Job> jobs;
  for (int k = 0; k < count; ++k)
    jobs.push_back({first + k, QString::fromStdString(testing_support::examplesPath(
                                   names[k % (sizeof names / sizeof names[0])]))});
  return jobs;
}

struct Delivery {
  int position;
  int index;
  QSize size;
};

class ThumbnailLoaderThreads : public testing::Test {
 protected:
  void SetUp() override {
    loader = std::make_unique<CThumbnailLoader>();
    QObject::connect(loader.get(), &CThumbnailLoader::thumbnailReady, &receiver,
                     [this](int position, int index, int, const QImage& thumbnail) {
                       delivered.push_back({position, index, thumbnail.size()});
                     });
    QObject::connect(loader.get(), &CThumbnailLoader::finished, &receiver, [this] { ++finished; });
  }
  // Long enough for every job already started to end and hand over.
  static void settle() {
    waitUntil([] { return false; }, 1500);
  }

  QObject receiver;  // outlives the loader
  std::unique_ptr<CThumbnailLoader> loader;
  std::vector<Delivery> delivered;
  int finished = 0;
};

TEST_F(ThumbnailLoaderThreads, DeliversAPageInOrderThenFinishesOnce) {
  loader->start(page(12, 100));
  EXPECT_TRUE(loader->isLoading());
  ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
  ASSERT_EQ(delivered.size(), 12u);
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(delivered[k].position, k);
    EXPECT_EQ(delivered[k].index, 100 + k);
    EXPECT_EQ(delivered[k].size, QSize(THUMBNAIL_SIZE, THUMBNAIL_SIZE)) << k;
  }
  EXPECT_FALSE(loader->isLoading());
  settle();
  EXPECT_EQ(finished, 1);
}

TEST_F(ThumbnailLoaderThreads, ANewBatchOrACancelDropsWhatIsStillComing) {
  loader->start(page(16, 0));
  loader->start(page(3, 500));  // the first batch is abandoned at once
  ASSERT_TRUE(waitUntil([&] { return finished == 1; }));
  settle();
  ASSERT_EQ(delivered.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(delivered[k].index, 500 + k);

  delivered.clear();
  loader->start(page(16, 0));
  ASSERT_TRUE(waitUntil([&] { return !delivered.empty(); }));
  loader->cancel();
  EXPECT_FALSE(loader->isLoading());
  const std::size_t before = delivered.size();
  settle();
  EXPECT_EQ(delivered.size(), before);
  EXPECT_EQ(finished, 1);
}

TEST_F(ThumbnailLoaderThreads, ALoaderDestroyedMidBatchDeliversNothingMore) {
  const std::size_t total = 64;
  loader->start(page(static_cast<int>(total), 0));
  ASSERT_TRUE(waitUntil([&] { return !delivered.empty(); }));
  // Workers still running and calls still queued go with it.
  loader.reset();
  const std::size_t before = delivered.size();
  settle();
  EXPECT_EQ(delivered.size(), before);
  EXPECT_EQ(finished, before == total ? 1 : 0);
}

}  // namespace
