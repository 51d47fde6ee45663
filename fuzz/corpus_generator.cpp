// Writes the seed corpus of every fuzz target: small valid inputs made by the
// encoder and the image writers, a few KB each, so that fuzzing starts from
// files that reach deep into each reader. Run by scripts/make-fuzz-corpus.sh:
//   make_fuzz_corpus OUTPUT_DIR
// creates OUTPUT_DIR/<target>/<seed> for every target (existing seeds of the
// same names are replaced).
#include <unistd.h>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/bitstream.h"
#include "codec/huffman.h"
#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

void writeBytes(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Smooth gradients with some texture, so that every patch has something to code.
CImage patternImage(int width, int height) {
  CImage image;
  if (!image.Create(width, height, 24)) return image;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto red = static_cast<std::uint32_t>(x * 255 / width);
      const auto green = static_cast<std::uint32_t>(y * 255 / height);
      const auto blue = static_cast<std::uint32_t>(((x / 3) ^ (y / 5)) * 37 % 256);
      image.SetPixel(x, y, makeColorWord(red, green, blue));
    }
  }
  return image;
}

struct RimSeed {
  const char* name;
  int width;
  int height;
  std::uint16_t colorSpace;
  std::uint32_t patchWidth;
  std::uint32_t patchHeight;
  std::uint32_t dimension;
  std::uint32_t maxIterations;
  std::uint32_t doChangeStep;
  std::uint32_t mode;  // payload coding of all three sections
};

const RimSeed kRimSeeds[] = {
    {"rgb-pca-4x4", 16, 12, 0, 4, 4, 12, 0, 0, 0},
    {"ycc-pca-4x4", 16, 12, 1, 4, 4, 12, 0, 0, 0},
    {"hsv-ica-4x4", 16, 12, 2, 4, 4, 12, 5, 1, 0},
    {"rgb-odd-3x5", 17, 9, 0, 3, 5, 20, 0, 1, 0},
    {"rgb-8x8", 24, 16, 0, 8, 8, 8, 0, 0, 0},
    {"rgb-zlib-4x4", 16, 12, 0, 4, 4, 12, 0, 0, 1},
    {"hsv-zlib-2x2", 9, 7, 2, 2, 2, 6, 3, 0, 1},
    {"rgb-grid-10x9", 40, 36, 0, 4, 4, 6, 0, 0, 0},  // enough patches for colour structure
};

// Encodes a seed; the bases file is written too when basesPath is given.
bool encodeSeed(const RimSeed& seed, const std::string& path, const char* basesPath) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  common.ColorSpace = seed.colorSpace;
  common.PatchWidth = seed.patchWidth;
  common.PatchHeight = seed.patchHeight;
  compression.AverageQuantizeStep =
      deriveAverageQuantizeStep(compression.CoeffQuantizeStep, common.PatchWidth);
  learning.DimensionReduction = seed.dimension;
  learning.MaxIterations = seed.maxIterations;
  compression.DoChangeStep = seed.doChangeStep;
  CRIMCodec codec;
  if (codec.setParameters(&common, &learning, &compression) != status::Success) return false;
  codec.average.mode = codec.base.mode = codec.coeff.mode = seed.mode;
  return codec.encodeFile(path, patternImage(seed.width, seed.height), basesPath) ==
         status::Success;
}

bool makeRimSeeds(const fs::path& out, const fs::path& scratch) {
  for (const RimSeed& seed : kRimSeeds) {
    const fs::path rim = scratch / (std::string(seed.name) + ".rim");
    const fs::path bases = scratch / (std::string(seed.name) + ".bases");
    if (!encodeSeed(seed, rim.string(), bases.string().c_str())) {
      std::fprintf(stderr, "cannot encode %s\n", seed.name);
      return false;
    }
    const Bytes file = readBytes(rim);
    for (const char* target : {"fuzz_rim_decode", "fuzz_rim_preview", "fuzz_rim_sections",
                               "fuzz_rim_search", "fuzz_image_file", "fuzz_rim_thumbnail"})
      writeBytes(out / target / (std::string(seed.name) + ".rim"), file);
    writeBytes(out / "fuzz_bases_file" / (std::string(seed.name) + ".bases"), readBytes(bases));
  }
  return true;
}

// A flat picture written from its components: every patch mean 100, one
// unit base, zero coefficients. Small files of large pictures, whose
// thumbnails come from the averages (or, cut or changed, from a decode).
bool writeFlatRim(const fs::path& path, std::uint32_t width, std::uint32_t height,
                  std::uint32_t coeffMode) {
  CRIMCodec codec;
  CompressionParameters compression;
  setDefaultParameters(codec.common, codec.learning, compression);
  codec.common.PatchWidth = codec.common.PatchHeight = 8;
  codec.learning.DimensionReduction = 1;
  compression.AverageQuantizeStep = 1;
  compression.BasePrecisionBit = 16;
  if (codec.average.setCompressionParameters(compression) != status::Success ||
      codec.base.setCompressionParameters(compression) != status::Success ||
      codec.coeff.setCompressionParameters(compression) != status::Success)
    return false;
  const std::uint32_t patches = ((width + 7) / 8) * ((height + 7) / 8);
  codec.average.resize(3, patches);
  KPX::fill(codec.average, 100.0);
  codec.base.resize(1, 192);
  KPX::fill(codec.base, 0.0);
  codec.base[0][0] = 1;
  codec.base.steps.resize(1);
  codec.base.steps[0] = 1;
  codec.coeff.resize(patches, 1);
  KPX::fill(codec.coeff, 0.0);
  codec.coeff.mode = coeffMode;
  if (codec.average.encode() != status::Success || codec.base.encode() != status::Success ||
      codec.coeff.encode() != status::Success)
    return false;
  CImage source;
  if (!source.Create(static_cast<int>(width), static_cast<int>(height), 24)) return false;
  fs::create_directories(path.parent_path());
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (file == nullptr) return false;
  Status s = codec.writeHeader(file, source);
  if (s == status::Success) s = codec.writeSections(file);
  return std::fclose(file) == 0 && s == status::Success;
}

bool makeThumbnailSeeds(const fs::path& dir) {
  if (!writeFlatRim(dir / "flat-1200x900.rim", 1200, 900, 0) ||
      !writeFlatRim(dir / "flat-zlib-2400x1600.rim", 2400, 1600, 1))
    return false;
  // Bytes after the coefficients, which the decoder ignores.
  Bytes longer = readBytes(dir / "flat-1200x900.rim");
  longer.push_back(0x5A);
  writeBytes(dir / "flat-trailing-byte.rim", longer);
  return true;
}

// A Huffman seed: the parameter bytes fuzz_huffman reads, then the two
// tables and the coded matrix.
bool makeHuffmanSeed(const fs::path& path, std::uint32_t p, std::uint32_t z, std::uint32_t rows,
                     std::uint32_t cols, std::uint32_t salt) {
  KPX::Matrix<double> matrix(rows, cols);
  const std::int64_t limit = (std::int64_t{1} << (p - 1)) - 1;
  for (std::uint32_t r = 0; r < rows; ++r) {
    for (std::uint32_t c = 0; c < cols; ++c) {
      const std::uint32_t k = r * cols + c + salt;
      // Runs of zeros of every length, small and large values of both signs.
      std::int64_t v = (k % 5 == 0 || k % 7 == 0 || (r % 3 == 1 && c > cols / 2))
                           ? 0
                           : static_cast<std::int64_t>((k * 2654435761u) % 97) - 48;
      if (k % 11 == 3) v = (k % 2 == 0 ? limit : -limit);
      const std::int64_t widest = (std::int64_t{1} << p) - 1;  // p bits of magnitude
      v = std::max(-widest, std::min(widest, v));
      matrix[r][c] = static_cast<double>(v);
    }
  }
  HuffmanEncoderTable table;
  Status s = buildEncoderTable(countSymbols(matrix, p, z), table);
  if (s == status::ValueNotFound) s = status::Success;
  if (s != status::Success) return false;
  BitStream stream;
  std::uint32_t lengthCount = 0;
  std::uint32_t lengthBits = 0;
  std::uint32_t symbolCount = 0;
  std::uint32_t symbolBits = 0;
  if (writeTable(stream, table.bits, lengthCount, lengthBits) != status::Success ||
      writeTable(stream, table.huffval, symbolCount, symbolBits) != status::Success ||
      encodeMatrix(stream, matrix, table, p, z) != status::Success)
    return false;
  // The field encodings of fuzz_huffman (each value below its modulus).
  Bytes bytes = {static_cast<std::uint8_t>(p),
                 static_cast<std::uint8_t>(z),
                 static_cast<std::uint8_t>(rows - 1),
                 static_cast<std::uint8_t>(cols - 1),
                 static_cast<std::uint8_t>(lengthCount),
                 static_cast<std::uint8_t>(lengthBits),
                 static_cast<std::uint8_t>(symbolCount & 0xFF),
                 static_cast<std::uint8_t>(symbolCount >> 8),
                 static_cast<std::uint8_t>(symbolBits)};
  bytes.insert(bytes.end(), stream.data(), stream.data() + stream.byteCount());
  writeBytes(path, bytes);
  return true;
}

bool makeHuffmanSeeds(const fs::path& dir) {
  return makeHuffmanSeed(dir / "p16-z16.bin", 16, 16, 12, 40, 0) &&
         makeHuffmanSeed(dir / "p7-z16.bin", 7, 16, 20, 48, 3) &&
         makeHuffmanSeed(dir / "p4-z3.bin", 4, 3, 8, 17, 1) &&
         makeHuffmanSeed(dir / "p32-z1.bin", 32, 1, 4, 9, 5) &&
         makeHuffmanSeed(dir / "p2-z30.bin", 2, 30, 6, 60, 2);
}

void makeConfigSeeds(const fs::path& dir) {
  auto text = [&](const char* name, const std::string& contents) {
    writeBytes(dir / name, Bytes(contents.begin(), contents.end()));
  };
  const std::string standard = defaultConfigText();
  text("default.ini", standard);
  text("small-hsv-ica.ini",
       "[Common]\nColorSpace=HSV\nPatchWidth=4\nPatchHeight=2\n[Learning]\n"
       "ConversionCondition=0.01\nDimensionReduction=12\nMaxIterations=4\n[Compression]\n"
       "CoeffQuantizeStep=3\nDoChangeStep=1\nMaxZeroRun=5\nPrecisionBit=9\nBasePrecisionBit=0\n");
  text("ycc-crlf.ini",
       "; comment\r\n[ common ]\r\nColorSpace = YCC\r\npatchwidth=2\r\nPATCHHEIGHT=3\r\n"
       "[LEARNING]\r\nDimensionReduction=6\r\nMaxIterations=0\r\nConversionCondition=1e-3\r\n"
       "[Compression]\r\nCoeffQuantizeStep=2\r\nDoChangeStep=0\r\nMaxZeroRun=16\r\n"
       "PrecisionBit=16\r\nBasePrecisionBit=7\r\n");
  text("missing-keys.ini", "[Common]\nColorSpace=RGB\n# no sizes\n[Learning]\nMaxIterations=-1\n");
  text("odd-values.ini",
       "[Common]\nColorSpace=RGBX\nPatchWidth=+4x\nPatchHeight=4294967300\n[Learning]\n"
       "DimensionReduction=48\nConversionCondition=nan\n[Compression]\nCoeffQuantizeStep=0\n");
}

// Seeds of fuzz_qimage_raster: format, width, height, table size, table
// entries, pixel bytes.
void makeRasterSeeds(const fs::path& dir) {
  const QImage::Format formats[] = {
      QImage::Format_Mono,        QImage::Format_MonoLSB,  QImage::Format_Indexed8,
      QImage::Format_RGB32,       QImage::Format_ARGB32,   QImage::Format_ARGB32_Premultiplied,
      QImage::Format_RGB16,       QImage::Format_RGB555,   QImage::Format_RGB888,
      QImage::Format_BGR888,      QImage::Format_RGBA8888, QImage::Format_Grayscale8,
      QImage::Format_Grayscale16, QImage::Format_RGBA64,   QImage::Format_A2RGB30_Premultiplied,
      QImage::Format_RGBA16FPx4,  QImage::Format_Alpha8,   QImage::Format_RGB444};
  for (QImage::Format format : formats) {
    const int value = static_cast<int>(format);
    Bytes bytes = {static_cast<std::uint8_t>(value - 1), 9, 5, 6};
    for (std::uint32_t i = 0; i < 6 * 4; ++i)
      bytes.push_back(static_cast<std::uint8_t>(i * 41 + 7));
    for (std::uint32_t i = 0; i < 200; ++i)
      bytes.push_back(static_cast<std::uint8_t>((i * 29 + i / 7) % 251));
    writeBytes(dir / ("format-" + std::to_string(value) + ".bin"), bytes);
  }
}

// A GIF file of 2-bit pixels with a 4-colour table, global or local, an
// optional transparent index and a comment block. The pixel data is LZW with
// a clear code before every pair of pixels, which keeps every code 3 bits.
Bytes tinyGif(int width, int height, bool localTable, int transparent) {
  const std::uint8_t colours[12] = {0, 0, 0, 255, 0, 0, 0, 200, 40, 30, 60, 250};
  Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
  auto u16 = [&](int v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  u16(width);
  u16(height);
  b.push_back(localTable ? 0x00 : 0x81);  // global table of 4 entries
  b.push_back(0);
  b.push_back(0);
  if (!localTable) b.insert(b.end(), colours, colours + 12);
  const char comment[] = "seed";
  b.insert(b.end(), {0x21, 0xFE, 4});
  b.insert(b.end(), comment, comment + 4);
  b.push_back(0);
  if (transparent >= 0)
    b.insert(b.end(), {0x21, 0xF9, 4, 0x01, 0, 0, static_cast<std::uint8_t>(transparent), 0});
  b.push_back(0x2C);
  u16(0);
  u16(0);
  u16(width);
  u16(height);
  b.push_back(localTable ? 0x81 : 0x00);
  if (localTable) b.insert(b.end(), colours, colours + 12);
  b.push_back(2);  // minimum code size
  std::vector<std::uint8_t> data;
  std::uint32_t accumulator = 0;
  int bits = 0;
  auto code = [&](std::uint32_t c) {
    accumulator |= c << bits;
    bits += 3;
    while (bits >= 8) {
      data.push_back(static_cast<std::uint8_t>(accumulator & 0xFF));
      accumulator >>= 8;
      bits -= 8;
    }
  };
  const int pixels = width * height;
  for (int i = 0; i < pixels; ++i) {
    if (i % 2 == 0) code(4);  // clear
    code(static_cast<std::uint32_t>((i * 7 + i / width) % 4));
  }
  code(5);  // end of information
  if (bits > 0) data.push_back(static_cast<std::uint8_t>(accumulator & 0xFF));
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, data.size() - at);
    b.push_back(static_cast<std::uint8_t>(n));
    b.insert(b.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
             data.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  b.push_back(0);
  b.push_back(0x3B);  // trailer
  return b;
}

// Tiny image files in every format Qt writes here, in several depths.
bool makeImageFileSeeds(const fs::path& dir, const fs::path& scratch) {
  CImage pattern = patternImage(11, 7);
  const QImage base = imageio::qimageFromRaster(pattern);
  struct Variant {
    const char* suffix;
    QImage image;
  };
  QImage alpha = base.convertToFormat(QImage::Format_ARGB32);
  alpha.setPixel(2, 3, qRgba(10, 20, 30, 40));
  const Variant variants[] = {
      {"rgb", base.convertToFormat(QImage::Format_RGB32)},
      {"alpha", alpha},
      {"indexed", base.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)},
      {"mono", base.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)},
      {"gray", base.convertToFormat(QImage::Format_Grayscale8)},
  };
  const QList<QByteArray> writers = QImageWriter::supportedImageFormats();
  for (const char* format : {"bmp", "png", "gif", "jpg", "tif", "tga", "webp", "ppm", "pgm", "pbm",
                             "xpm", "ico", "xbm"}) {
    if (!writers.contains(QByteArray(format))) continue;
    for (const Variant& v : variants) {
      QByteArray bytes;
      QBuffer buffer(&bytes);
      buffer.open(QIODevice::WriteOnly);
      QImageWriter writer(&buffer, format);
      if (!writer.write(v.image)) continue;
      writeBytes(dir / (std::string(v.suffix) + "." + format), Bytes(bytes.begin(), bytes.end()));
    }
  }
  // Qt reads GIF files but does not write them.
  writeBytes(dir / "global.gif", tinyGif(7, 5, false, -1));
  writeBytes(dir / "local-transparent.gif", tinyGif(6, 4, true, 2));
  // And a file written by our own saving path.
  const fs::path saved = scratch / "saved.bmp";
  if (!SaveByExtension(pattern, saved.string())) return false;
  writeBytes(dir / "saved.bmp", readBytes(saved));
  return true;
}

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_corpus OUTPUT_DIR\n");
    return 2;
  }
  qInstallMessageHandler(dropMessages);
  setTraceStream(nullptr);
  const fs::path out = argv[1];
  const fs::path scratch =
      fs::temp_directory_path() / ("folim-fuzz-corpus-" + std::to_string(::getpid()));
  fs::remove_all(scratch);
  fs::create_directories(scratch);

  bool ok = makeRimSeeds(out, scratch);
  ok = ok && makeThumbnailSeeds(out / "fuzz_rim_thumbnail");
  ok = ok && makeHuffmanSeeds(out / "fuzz_huffman");
  makeConfigSeeds(out / "fuzz_config_ini");
  makeRasterSeeds(out / "fuzz_qimage_raster");
  ok = ok && makeImageFileSeeds(out / "fuzz_image_file", scratch);
  fs::remove_all(scratch);
  if (!ok) {
    std::fprintf(stderr, "make_fuzz_corpus: failed\n");
    return 1;
  }
  return 0;
}
