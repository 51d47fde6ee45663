// Loading ordinary image files through Qt into rasters.
#include <gtest/gtest.h>

#include <zlib.h>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <filesystem>

#include "codec/limits.h"
#include "imageio/gif_palette.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// Every pixel of the raster equals what Qt reports for the file.
void expectSamePixels(const CImage& raster, const QImage& reference) {
  ASSERT_EQ(raster.GetWidth(), reference.width());
  ASSERT_EQ(raster.GetHeight(), reference.height());
  int mismatches = 0;
  for (int y = 0; y < reference.height(); ++y) {
    for (int x = 0; x < reference.width(); ++x) {
      const QRgb want = reference.pixel(x, y);
      const std::uint32_t got = raster.GetPixel(x, y);
      if (colorRed(got) != static_cast<std::uint32_t>(qRed(want)) ||
          colorGreen(got) != static_cast<std::uint32_t>(qGreen(want)) ||
          colorBlue(got) != static_cast<std::uint32_t>(qBlue(want))) {
        if (++mismatches < 5) ADD_FAILURE() << "pixel " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace

TEST(LibraryLoad, EachCorpusFormatWithItsDepth) {
  struct Case {
    std::string path;
    int bpp;
    bool alpha;
  };
  // A PNG with an alpha channel, made here (the corpus PNG has none).
  TempDir dir;
  QImage translucent(QString::fromStdString(corpusPath("ladybird.png")));
  translucent = translucent.convertToFormat(QImage::Format_ARGB32);
  translucent.setPixel(3, 4, qRgba(1, 2, 3, 77));
  ASSERT_TRUE(translucent.save(QString::fromStdString(dir.file("alpha.png"))));

  // JPEG, BMP, TIFF and the opaque PNG arrive from Qt as 32-bit RGB, the GIF
  // as the 8-bit palette image it is.
  const Case cases[] = {
      {corpusPath("aqua.jpg"), 32, false},     {corpusPath("aqua.bmp"), 32, false},
      {corpusPath("garden.tiff"), 32, false},  {corpusPath("yellowflower.gif"), 8, false},
      {corpusPath("ladybird.png"), 32, false}, {dir.file("alpha.png"), 32, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const QImage reference(QString::fromStdString(c.path));
    ASSERT_FALSE(reference.isNull());
    CImageEx image;
    ASSERT_TRUE(LoadWithImageLibrary(c.path, image));
    EXPECT_EQ(image.GetBPP(), c.bpp);
    EXPECT_EQ(image.HasAlpha(), c.alpha);
    expectSamePixels(image, reference);
  }
}

TEST(LibraryLoad, PaletteIsCopiedWithAZeroFourthByte) {
  // An 8-bit BMP keeps its palette and indices, top row first.
  TempDir dir;
  QImage reference(QString::fromStdString(corpusPath("aqua.jpg")));
  reference = reference.convertToFormat(QImage::Format_Indexed8);
  ASSERT_TRUE(reference.save(QString::fromStdString(dir.file("p.bmp"))));
  reference = QImage(QString::fromStdString(dir.file("p.bmp")));
  ASSERT_EQ(reference.format(), QImage::Format_Indexed8);
  CImageEx image;
  ASSERT_TRUE(LoadWithImageLibrary(dir.file("p.bmp"), image));
  ASSERT_EQ(image.GetBPP(), 8);
  const std::vector<std::uint32_t>& table = image.GetColorTable();
  ASSERT_GE(table.size(), static_cast<std::size_t>(reference.colorCount()));
  for (int i = 0; i < reference.colorCount(); ++i)
    EXPECT_EQ(table[static_cast<std::size_t>(i)], reference.color(i) & 0x00FFFFFFu) << i;
  for (int y : {0, 1, reference.height() / 2, reference.height() - 1})
    for (int x : {0, 7, reference.width() - 1})
      EXPECT_EQ(*image.GetPixelAddress(x, y), reference.pixelIndex(x, y)) << x << "," << y;
}

TEST(LibraryLoad, GifKeepsTheFilesOwnPalette) {
  const auto palette = imageio::readGifPalette(corpusPath("yellowflower.gif"));
  ASSERT_TRUE(palette.has_value());
  EXPECT_EQ(palette->colours.size(), 128u);  // the corpus GIF has 128 colours
  CImageEx image;
  ASSERT_TRUE(LoadWithImageLibrary(corpusPath("yellowflower.gif"), image));
  ASSERT_EQ(image.GetBPP(), 8);
  const std::vector<std::uint32_t>& table = image.GetColorTable();
  for (std::size_t i = 0; i < palette->colours.size(); ++i)
    EXPECT_EQ(table[i], palette->colours[i]);
  // Files that are no GIF, or are cut short, give no palette.
  TempDir dir;
  const std::string bytes = testing_support::readFileBytes(corpusPath("yellowflower.gif"));
  writeFileBytes(dir.file("cut.gif"), bytes.substr(0, 100));
  EXPECT_FALSE(imageio::readGifPalette(dir.file("cut.gif")).has_value());
  EXPECT_FALSE(imageio::readGifPalette(corpusPath("aqua.bmp")).has_value());
  EXPECT_FALSE(imageio::readGifPalette(dir.file("missing.gif")).has_value());
}

TEST(LibraryLoad, GifTransparencyKeepsThePaletteDepth) {
  TempDir dir;
  // A 2 x 1 GIF: index 0 red, index 1 transparent (green in the table).
  const unsigned char gif[] = {'G',  'I',  'F',  '8',  '9', 'a', 2, 0, 1, 0,
                               0x80, 0,    0,                           // screen, 2-entry table
                               255,  0,    0,    0,    255, 0,          // red, green
                               0x21, 0xF9, 4,    0x01, 0,   0,   1, 0,  // transparent index 1
                               0x2C, 0,    0,    0,    0,   2,   0, 1, 0, 0,  // image 2 x 1
                               2,    2,    0x44, 0x01, 0,                     // LZW data: 0, 1
                               0x3B};
  writeFileBytes(dir.file("t.gif"), std::string(reinterpret_cast<const char*>(gif), sizeof gif));
  const auto palette = imageio::readGifPalette(dir.file("t.gif"));
  ASSERT_TRUE(palette.has_value());
  EXPECT_EQ(palette->transparentIndex, 1);
  CImageEx image;
  ASSERT_TRUE(LoadWithImageLibrary(dir.file("t.gif"), image));
  EXPECT_EQ(image.GetBPP(), 8);
  EXPECT_FALSE(image.HasAlpha());
  EXPECT_EQ(image.GetPixelAddress(0, 0)[0], 0);
  EXPECT_EQ(image.GetPixelAddress(1, 0)[0], 1);
  EXPECT_EQ(image.GetColorTable()[1], 0x00FF00u);  // the fourth byte is 0
}

TEST(LibraryLoad, AlphaChannelKeepsItsValues) {
  QImage source(3, 2, QImage::Format_ARGB32);
  source.fill(qRgba(10, 20, 30, 40));
  source.setPixel(2, 1, qRgba(200, 100, 50, 0));
  CImage raster;
  ASSERT_TRUE(imageio::rasterFromQImage(source, raster));
  ASSERT_EQ(raster.GetBPP(), 32);
  ASSERT_TRUE(raster.HasAlpha());
  const std::uint8_t* p = raster.GetPixelAddress(2, 1);
  EXPECT_EQ(p[0], 50);  // blue, green, red, alpha
  EXPECT_EQ(p[1], 100);
  EXPECT_EQ(p[2], 200);
  EXPECT_EQ(p[3], 0);
  EXPECT_EQ(raster.GetPixelAddress(0, 0)[3], 40);
}

TEST(LibraryLoad, DepthRulesForEveryQtFormat) {
  struct Case {
    QImage::Format format;
    int bpp;
    bool alpha;
  };
  const Case cases[] = {
      {QImage::Format_Mono, 1, false},         {QImage::Format_MonoLSB, 1, false},
      {QImage::Format_Indexed8, 8, false},     {QImage::Format_RGB555, 16, false},
      {QImage::Format_RGB16, 16, false},       {QImage::Format_RGB888, 24, false},
      {QImage::Format_BGR888, 24, false},      {QImage::Format_RGB32, 32, false},
      {QImage::Format_ARGB32, 32, true},       {QImage::Format_ARGB32_Premultiplied, 32, true},
      {QImage::Format_RGBA64, 32, true},       {QImage::Format_RGBX64, 32, false},
      {QImage::Format_Grayscale16, 32, false}, {QImage::Format_Grayscale8, 32, false},
      {QImage::Format_RGB444, 32, false},      {QImage::Format_RGBA8888, 32, true},
  };
  QImage colourful(7, 5, QImage::Format_RGB32);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) colourful.setPixel(x, y, qRgb(x * 36, y * 60, (x + y) * 20));
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format));
    const QImage source =
        colourful.convertToFormat(c.format, c.bpp <= 8 ? Qt::ThresholdDither : Qt::AutoColor);
    CImage raster;
    ASSERT_TRUE(imageio::rasterFromQImage(source, raster));
    EXPECT_EQ(raster.GetBPP(), c.bpp);
    EXPECT_EQ(raster.HasAlpha(), c.alpha);
    EXPECT_EQ(raster.Is565(), c.format == QImage::Format_RGB16);
    // Back in Qt the pixels are those of the source; read through the
    // raster's colour word they are too, except for 16-bit pixels, whose
    // widening to 8 bits per channel is the raster's own affair.
    const QImage back = imageio::qimageFromRaster(raster);
    ASSERT_FALSE(back.isNull());
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(back.pixel(x, y), source.pixel(x, y)) << x << "," << y;
    if (c.bpp != 16) expectSamePixels(raster, source);
  }
}

TEST(LibraryLoad, UnreadableFilesLeaveTheImageEmpty) {
  TempDir dir;
  writeFileBytes(dir.file("garbage.jpg"), "this is not a JPEG file at all");
  writeFileBytes(dir.file("empty.png"), "");
  const std::string folderNamedLikeAnImage = dir.file("folder.png");
  ASSERT_TRUE(std::filesystem::create_directory(folderNamedLikeAnImage));
  for (const std::string& path : {dir.file("garbage.jpg"), dir.file("empty.png"),
                                  folderNamedLikeAnImage, dir.file("missing.bmp")}) {
    CImageEx image;
    ASSERT_TRUE(image.Create(4, 4, 24));
    std::string error;
    EXPECT_FALSE(LoadWithImageLibrary(path, image, &error)) << path;
    EXPECT_TRUE(image.IsNull()) << path;
    EXPECT_FALSE(error.empty()) << path;
    // The shell's loader still reports success for an ordinary image name.
    CImageEx shown;
    EXPECT_TRUE(shown.LoadImageFile(path, true));
    EXPECT_TRUE(shown.IsNull());
    EXPECT_EQ(shown.m_nBaseType, kBaseTypeOther);
  }
}

TEST(LibraryLoad, ImagesOverThePixelLimitAreRefusedBeforeDecoding) {
  // A PNG header announcing 100000 x 100000 pixels, with little behind it.
  TempDir dir;
  QImage small(8, 8, QImage::Format_RGB32);
  small.fill(Qt::red);
  ASSERT_TRUE(small.save(QString::fromStdString(dir.file("small.png"))));
  std::string bytes = testing_support::readFileBytes(dir.file("small.png"));
  // IHDR: width and height are big-endian words at bytes 16 and 20, and the
  // chunk's CRC (over type and data, bytes 12 to 28) follows at 29.
  const unsigned char huge[8] = {0x00, 0x01, 0x86, 0xA0, 0x00, 0x01, 0x86, 0xA0};
  bytes.replace(16, 8, reinterpret_cast<const char*>(huge), 8);
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data() + 12), 17);
  for (int i = 0; i < 4; ++i) bytes[29 + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
  writeFileBytes(dir.file("huge.png"), bytes);

  CImageEx image;
  std::string error;
  EXPECT_FALSE(LoadWithImageLibrary(dir.file("huge.png"), image, &error));
  EXPECT_TRUE(image.IsNull());
  EXPECT_NE(error.find("too large"), std::string::npos) << "[" << error << "]";

  // A lowered limit refuses an ordinary photograph the same way.
  const std::uint64_t saved = codecLimits().maxPixels;
  codecLimits().maxPixels = 1000;
  EXPECT_FALSE(LoadWithImageLibrary(corpusPath("aqua.jpg"), image));
  codecLimits().maxPixels = saved;
  EXPECT_TRUE(LoadWithImageLibrary(corpusPath("aqua.jpg"), image));
}

TEST(LibraryLoad, ReadingStraightIntoTheRaster) {
  TempDir dir;
  const std::string png = testing_support::readFileBytes(corpusPath("ladybird.png"));
  // The header announces the picture, the data behind it is cut short.
  writeFileBytes(dir.file("cut.png"), png.substr(0, png.size() / 3));
  struct Case {
    std::string path;
    imageio::DirectRead outcome;
  };
  const Case cases[] = {
      {corpusPath("aqua.jpg"), imageio::DirectRead::Done},
      {corpusPath("ladybird.png"), imageio::DirectRead::Done},
      {corpusPath("yellowflower.gif"), imageio::DirectRead::Unsuitable},
      {dir.file("cut.png"), imageio::DirectRead::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    QImageReader reader(QString::fromStdString(c.path));
    CImage raster;
    QImage decoded;
    ASSERT_EQ(imageio::readIntoRaster(reader, reader.size(), raster, decoded), c.outcome);
    if (c.outcome != imageio::DirectRead::Done) {
      EXPECT_TRUE(raster.IsNull());
      continue;
    }
    // Top-down rows, as Qt wrote them, with the file's pixels.
    EXPECT_GT(raster.GetPitch(), 0);
    EXPECT_EQ(raster.GetBPP(), 32);
    expectSamePixels(raster, QImage(QString::fromStdString(c.path)));
  }
}

// The common formats are read as their first bytes show, whatever the file
// is called; other files keep the reader's own choice.
TEST(LibraryLoad, CommonFormatsAreToldByTheirBytes) {
  TempDir dir;
  const QImage source = QImage(QString::fromStdString(corpusPath("ladybird.png"))).scaled(37, 23);
  struct Case {
    const char* writer;  // the format written (Qt writes no GIF: a copy)
    const char* own;     // what the reader is pointed at
  };
  const Case cases[] = {{"png", "png"}, {"jpeg", "jpeg"}, {"gif", "gif"}, {"bmp", "bmp"},
                        {"ppm", "ppm"}, {"pgm", "pgm"},   {"pbm", "pbm"}};
  const std::string gif = readFileBytes(corpusPath("yellowflower.gif"));
  for (const Case& c : cases) {
    for (const std::string& name :
         {std::string("own.") + c.writer, std::string("named.jpg"), std::string("no_extension")}) {
      SCOPED_TRACE(std::string(c.writer) + " as " + name);
      const std::string path = dir.file(std::string(c.writer) + "-" + name);
      if (std::string(c.writer) == "gif") {
        writeFileBytes(path, gif);
      } else {
        ASSERT_TRUE(source.save(QString::fromStdString(path), c.writer));
      }
      QFile file;
      QByteArray format;
      ASSERT_TRUE(OpenImageFile(path, file, format));
      QImageReader reader(&file, format);
      ChooseReaderByContent(reader, file);
      EXPECT_EQ(reader.format(), QByteArray(c.own));
      EXPECT_FALSE(reader.autoDetectImageFormat());
      EXPECT_EQ(file.pos(), 0);
      const QImage reference = reader.read();
      ASSERT_FALSE(reference.isNull());
      CImageEx image;
      ASSERT_TRUE(LoadWithImageLibrary(path, image));
      expectSamePixels(image, reference);
      int width = 0, height = 0;
      ASSERT_TRUE(ReadImageSize(path, width, height));
      EXPECT_EQ(QSize(width, height), reference.size());
    }
  }
  // A TIFF, even one named .png, is left to Qt's choice among its plugins.
  const std::string tiff = dir.file("photo.png");
  ASSERT_TRUE(source.save(QString::fromStdString(tiff), "tiff"));
  QFile file;
  QByteArray format;
  ASSERT_TRUE(OpenImageFile(tiff, file, format));
  QImageReader reader(&file, format);
  ChooseReaderByContent(reader, file);
  EXPECT_EQ(reader.format(), QByteArray("png"));
  EXPECT_TRUE(reader.autoDetectImageFormat());
}
