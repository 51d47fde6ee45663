// The shared thumbnail cache: entry names and keys as desktop programs write
// them, fresh entries used, stale and damaged ones replaced, and a folder
// listed the second time from the cache. Pictures are made only from
// regular files, and ordinary pictures only when decoding them fits the
// thumbnail budget.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <zlib.h>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>

#include "codec/base_type.h"
#include "imageio/image_ex.h"
#include "imageio/thumbnail_cache.h"
#include "support/non_regular_files.h"
#include "support/rim_files.h"
#include "support/small_rim.h"
#include "support/test_support.h"

using imageio::ThumbnailCache;
using imageio::ThumbnailFlavour;
using testing_support::corpusPath;
using testing_support::corpusPhotographs;
using testing_support::readFileBytes;
using testing_support::SmallRimOptions;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;
using testing_support::writeSmallRim;

namespace {

class ThumbnailCacheTest : public ::testing::Test {
 protected:
  std::string photo(const std::string& name, int index = 0) {
    const std::vector<std::string> photos = corpusPhotographs();
    const std::string path = files.file(name);
    std::filesystem::copy_file(
        corpusPath(photos.at(static_cast<std::size_t>(index) % photos.size())), path,
        std::filesystem::copy_options::overwrite_existing);
    return path;
  }

  QString entryOf(const std::string& path) const {
    return cache.entryPath(path, ThumbnailFlavour::Normal);
  }

  static void setMTime(const std::string& path, long long seconds) {
    struct utimbuf times {};
    times.actime = static_cast<time_t>(seconds);
    times.modtime = static_cast<time_t>(seconds);
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
  }

  TempDir root;
  TempDir files;
  ThumbnailCache cache{QString::fromStdString(root.path())};
};

}  // namespace

TEST(ThumbnailUri, EscapesAsDesktopProgramsDo) {
  struct Case {
    const char* path;
    const char* uri;
  };
  const Case cases[] = {
      {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
      {"/tmp/a b.jpg", "file:///tmp/a%20b.jpg"},
      {"/x/\xC3\xA4.rim", "file:///x/%C3%A4.rim"},
      {"/x/a;b#c%d?e\"f", "file:///x/a%3Bb%23c%25d%3Fe%22f"},
      {"/x/[a]{b}|c^d`e<f>g\\h", "file:///x/%5Ba%5D%7Bb%7D%7Cc%5Ed%60e%3Cf%3Eg%5Ch"},
      {"/x/!$&'()*+,-.:=@_~", "file:///x/!$&'()*+,-.:=@_~"},
  };
  for (const Case& c : cases) EXPECT_EQ(ThumbnailCache::fileUri(c.path), c.uri) << c.path;
}

TEST(ThumbnailUri, EntryIsNamedByTheMd5OfTheUri) {
  // The worked example of the thumbnail convention.
  const ThumbnailCache cache(QStringLiteral("/cache"));
  EXPECT_EQ(cache.entryPath("/home/jens/photos/me.png", ThumbnailFlavour::Normal),
            "/cache/normal/c6ee772d9e49320e97ec29a7eb5b1697.png");
  EXPECT_EQ(cache.entryPath("/home/jens/photos/me.png", ThumbnailFlavour::Large),
            "/cache/large/c6ee772d9e49320e97ec29a7eb5b1697.png");
}

TEST(ThumbnailUri, RootFollowsXdgCacheHome) {
  const QByteArray saved = qgetenv("XDG_CACHE_HOME");
  qputenv("XDG_CACHE_HOME", "/somewhere/cache");
  EXPECT_EQ(ThumbnailCache::defaultRoot(), "/somewhere/cache/thumbnails");
  qputenv("XDG_CACHE_HOME", "relative/cache");
  EXPECT_EQ(ThumbnailCache::defaultRoot(), QDir::homePath() + "/.cache/thumbnails");
  qunsetenv("XDG_CACHE_HOME");
  EXPECT_EQ(ThumbnailCache::defaultRoot(), QDir::homePath() + "/.cache/thumbnails");
  if (!saved.isEmpty()) qputenv("XDG_CACHE_HOME", saved);
}

TEST_F(ThumbnailCacheTest, FirstFetchStoresAnEntryWithTheKeysTheSecondUsesIt) {
  const std::string path = photo("a photo.jpg");
  bool hit = true;
  const QImage made = cache.fetch(path, ThumbnailFlavour::Normal, &hit);
  EXPECT_FALSE(hit);
  ASSERT_FALSE(made.isNull());
  EXPECT_EQ(std::max(made.width(), made.height()), 128);

  auto texts = imageio::pngTextChunks(entryOf(path));
  EXPECT_EQ(texts["Thumb::URI"], ThumbnailCache::fileUri(path).toLatin1());
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(texts["Thumb::MTime"], QByteArray::number(static_cast<qlonglong>(info.st_mtime)));
  EXPECT_EQ(texts["Thumb::Size"], QByteArray::number(static_cast<qlonglong>(info.st_size)));
  EXPECT_EQ(QImage(entryOf(path), "png").size(), made.size());
  // Plain text chunks, which every reader of the convention understands.
  const std::string uriChunk = "tEXtThumb::URI" + std::string(1, '\0') + "file://";
  EXPECT_NE(readFileBytes(entryOf(path).toStdString()).find(uriChunk), std::string::npos);
  // Only the user may read what their files look like.
  EXPECT_EQ(QFile::permissions(entryOf(path)) & 0x0FFF, QFile::ReadUser | QFile::WriteUser);

  const QImage again = cache.fetch(path, ThumbnailFlavour::Normal, &hit);
  EXPECT_TRUE(hit);
  EXPECT_EQ(again.size(), made.size());
}

// A link planted at an entry's name is replaced by the entry; the file it
// points to keeps its bytes.
TEST_F(ThumbnailCacheTest, StoreReplacesALinkAtTheEntry) {
  const std::string path = photo("linked.jpg");
  const std::string entry = entryOf(path).toStdString();
  std::filesystem::create_directories(std::filesystem::path(entry).parent_path());
  writeFileBytes(files.file("victim"), "not a thumbnail");
  std::filesystem::create_symlink(files.file("victim"), entry);
  ASSERT_FALSE(cache.fetch(path, ThumbnailFlavour::Normal).isNull());
  EXPECT_EQ(readFileBytes(files.file("victim")), "not a thumbnail");
  EXPECT_FALSE(std::filesystem::is_symlink(entry));
  EXPECT_FALSE(QImage(QString::fromStdString(entry), "png").isNull());
}

TEST_F(ThumbnailCacheTest, StaleAndDamagedEntriesAreReplaced) {
  const std::string path = photo("p.jpg");
  ASSERT_FALSE(cache.fetch(path, ThumbnailFlavour::Normal).isNull());
  struct Case {
    const char* name;
    std::function<void()> spoil;
  };
  const Case cases[] = {
      {"file changed later", [&] { setMTime(path, 2000000000); }},
      {"file changed earlier", [&] { setMTime(path, 1000000000); }},
      {"file replaced within the same second by one of another size",
       [&] {
         const auto size = std::filesystem::file_size(path);
         photo("p.jpg", 1);
         ASSERT_NE(std::filesystem::file_size(path), size);
         setMTime(path, 1000000000);
       }},
      {"entry damaged", [&] { writeFileBytes(entryOf(path).toStdString(), "\x89PNG junk"); }},
      {"entry emptied", [&] { writeFileBytes(entryOf(path).toStdString(), ""); }},
      {"entry of another file",
       [&] {
         const std::string other = photo("other.jpg", 1);
         ASSERT_FALSE(cache.fetch(other, ThumbnailFlavour::Normal).isNull());
         std::filesystem::copy_file(entryOf(other).toStdString(), entryOf(path).toStdString(),
                                    std::filesystem::copy_options::overwrite_existing);
       }},
  };
  for (const Case& c : cases) {
    c.spoil();
    EXPECT_TRUE(cache.lookup(path, ThumbnailFlavour::Normal).isNull()) << c.name;
    bool hit = true;
    EXPECT_FALSE(cache.fetch(path, ThumbnailFlavour::Normal, &hit).isNull()) << c.name;
    EXPECT_FALSE(hit) << c.name;
    EXPECT_FALSE(cache.lookup(path, ThumbnailFlavour::Normal).isNull()) << c.name;
  }
}

TEST_F(ThumbnailCacheTest, UnreadableFilesLeaveNoEntry) {
  writeFileBytes(files.file("broken.jpg"), "not a picture");
  writeFileBytes(files.file("broken.rim"), "RF and nothing else");
  for (const char* name : {"broken.jpg", "broken.rim", "missing.png"}) {
    EXPECT_TRUE(cache.fetch(files.file(name), ThumbnailFlavour::Normal).isNull()) << name;
    EXPECT_FALSE(QFile::exists(entryOf(files.file(name)))) << name;
  }
}

TEST_F(ThumbnailCacheTest, ListSourceKeepsTheBaseTypeOnMissAndHit) {
  TraceCapture quiet;
  SmallRimOptions pca;
  pca.width = 40;
  pca.height = 24;
  SmallRimOptions ica = pca;
  ica.maxIterations = 20;
  ASSERT_EQ(writeSmallRim(files.file("p.rim"), pca), 0);
  ASSERT_EQ(writeSmallRim(files.file("i.rim"), ica), 0);
  const std::string jpeg = photo("j.jpg");
  struct Case {
    std::string path;
    std::uint16_t baseType;
    QSize size;
  };
  const Case cases[] = {{files.file("p.rim"), kBaseTypePCA, {40, 24}},
                        {files.file("i.rim"), kBaseTypeICA, {40, 24}},
                        {jpeg, kBaseTypeOther, {}}};
  for (int pass = 0; pass < 2; ++pass) {
    for (const Case& c : cases) {
      CImageEx image;
      ASSERT_TRUE(imageio::LoadThumbnailSource(cache, c.path, image)) << c.path;
      EXPECT_EQ(image.m_nBaseType, c.baseType) << c.path << " pass " << pass;
      if (!c.size.isEmpty()) {
        EXPECT_EQ(image.GetWidth(), c.size.width());
        EXPECT_EQ(image.GetHeight(), c.size.height());
      }
      EXPECT_TRUE(QFile::exists(entryOf(c.path))) << c.path;
    }
  }
}

TEST_F(ThumbnailCacheTest, SecondListingOfFiftyPhotographsComesFromTheCache) {
  std::vector<std::string> paths;
  for (int i = 0; i < 50; ++i) paths.push_back(photo("photo" + std::to_string(i) + ".jpg", i));
  for (int pass = 0; pass < 2; ++pass) {
    int hits = 0;
    for (const std::string& path : paths) {
      bool hit = false;
      EXPECT_FALSE(cache.fetch(path, ThumbnailFlavour::Normal, &hit).isNull()) << path;
      hits += hit ? 1 : 0;
    }
    EXPECT_EQ(hits, pass == 0 ? 0 : 50) << "pass " << pass;
  }
  EXPECT_EQ(QDir(root.path().c_str()).entryList({"*.png"}, QDir::Files).size(), 0);
  EXPECT_EQ(QDir((root.path() + "/normal").c_str()).entryList({"*.png"}, QDir::Files).size(), 50);
}

namespace {

void appendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(value >> shift & 0xFF);
}

// A grey PNG (8-bit grey, rows of 100) of any size, its rows deflated as
// they are made.
void writeGreyPng(const std::string& path, std::uint32_t width, std::uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  const auto chunk = [&png](const char* type, const std::string& data) {
    appendBigEndian(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    appendBigEndian(
        png, static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                static_cast<uInt>(body.size()))));
  };
  std::string header;
  appendBigEndian(header, width);
  appendBigEndian(header, height);
  header += std::string("\x08\x00\x00\x00\x00", 5);
  chunk("IHDR", header);
  z_stream z{};
  ASSERT_EQ(deflateInit(&z, Z_BEST_SPEED), Z_OK);
  std::string row(width + 1, static_cast<char>(100));
  row[0] = 0;  // no filter
  std::string data;
  std::string out(1 << 16, '\0');
  for (std::uint32_t y = 0; y <= height; ++y) {
    const bool last = y == height;
    z.next_in = reinterpret_cast<Bytef*>(last ? nullptr : &row[0]);
    z.avail_in = last ? 0 : static_cast<uInt>(row.size());
    int result = Z_OK;
    do {
      z.next_out = reinterpret_cast<Bytef*>(&out[0]);
      z.avail_out = static_cast<uInt>(out.size());
      result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
      data.append(out, 0, out.size() - z.avail_out);
    } while (z.avail_out == 0 || (last && result != Z_STREAM_END));
  }
  deflateEnd(&z);
  chunk("IDAT", data);
  chunk("IEND", "");
  writeFileBytes(path, png);
}

}  // namespace

TEST(ThumbnailPictures, OrdinaryPicturesAreMadeOnlyWhereDecodingThemFitsTheBudget) {
  // Qt decodes every pixel of a PNG even when it scales as it reads: 36
  // million of them took seconds. JPEG decodes at an eighth of the size.
  TempDir dir;
  writeGreyPng(dir.file("over.png"), 6000, 6000);   // 144 MB at four bytes a pixel
  writeGreyPng(dir.file("under.png"), 4000, 4000);  // 64 MB
  QImage large(6000, 6000, QImage::Format_Grayscale8);
  large.fill(100);
  ASSERT_TRUE(large.save(QString::fromStdString(dir.file("large.jpg")), "jpeg", 50));
  EXPECT_TRUE(imageio::makeThumbnailPicture(dir.file("over.png"), 128).isNull());
  for (const char* name : {"under.png", "large.jpg"}) {
    const QImage picture = imageio::makeThumbnailPicture(dir.file(name), 128);
    EXPECT_EQ(picture.size(), QSize(128, 128)) << name;
    EXPECT_NEAR(qGray(picture.pixel(64, 64)), 100, 2) << name;
  }
}

TEST(ThumbnailPictures, FilesThatAreNotRegularAreRefusedAtOnce) {
  // A FIFO under a picture's name once held a thumbnail worker for good.
  TempDir dir;
  ASSERT_TRUE(testing_support::makeFifo(dir.file("x.jpg")));
  ASSERT_TRUE(testing_support::makeFifo(dir.file("y.rim")));
  ASSERT_TRUE(testing_support::makeSocket(dir.file("z.png")));
  const ThumbnailCache cache(QString::fromStdString(dir.file("cache")));
  for (const char* name : {"x.jpg", "y.rim", "z.png"}) {
    const std::string path = dir.file(name);
    testing_support::FifoWatchdog watchdog({path}, 5000);
    auto made = std::async(std::launch::async, [&] {
      CImageEx image;
      return !imageio::LoadThumbnailSource(cache, path, image) && image.IsNull();
    });
    EXPECT_TRUE(made.get()) << name;
    EXPECT_FALSE(watchdog.stop()) << name << " blocked its reader";
  }
}
