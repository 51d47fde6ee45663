#include "imageio/thumbnail_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include <zlib.h>

#include "codec/base_type.h"
#include "codec/rim_codec.h"
#include "imageio/file_kind.h"
#include "imageio/image_ex.h"
#include "imageio/image_library.h"
#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"
#include "imageio/rim_thumbnail.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace imageio {
namespace {

const char* const kUriKey = "Thumb::URI";
const char* const kMTimeKey = "Thumb::MTime";
const char* const kSizeKey = "Thumb::Size";

std::string absolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  return absolute.lexically_normal().string();
}

struct FileStamp {
  bool ok = false;
  long long mtime = 0;  // seconds
  long long size = 0;
};

FileStamp stampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return {true, static_cast<long long>(info.st_mtime), static_cast<long long>(info.st_size)};
}

// RIM files are told by their names, as everywhere in the listing.
bool isRimFile(const std::string& path) { return GetFileKind(path) == kFileKindRim; }

// Opens a file of the cache for reading, only when it is a regular file.
bool openCacheFile(const QString& path, QFile& file) {
  const int fd = platform::openRegularFile(QFile::encodeName(path).toStdString());
  if (fd < 0) return false;
  if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) return true;
  ::close(fd);
  return false;
}

// An ordinary picture is thumbnailed when decoding it fits the thumbnail
// budget at four bytes a pixel: Qt's readers decode every pixel even when
// they scale as they read, except JPEG's, which decodes at an eighth of the
// size in the transform itself. What the file holds decides, not its name.
bool fitsThumbnailBudget(const QSize& size, bool jpeg) {
  std::uint64_t width = static_cast<std::uint64_t>(size.width());
  std::uint64_t height = static_cast<std::uint64_t>(size.height());
  if (jpeg) {
    width = (width + 7) / 8;
    height = (height + 7) / 8;
  }
  return 4 * width * height <= kThumbnailBudgetBytes;
}

std::uint32_t bigEndian32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

// A zlib stream of compressed text, at most kLargestText bytes once
// inflated; empty when damaged or larger.
QByteArray inflateText(const QByteArray& compressed) {
  constexpr std::size_t kLargestText = 1u << 16;
  QByteArray out(static_cast<qsizetype>(kLargestText), '\0');
  uLongf length = kLargestText;
  if (::uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                   reinterpret_cast<const Bytef*>(compressed.constData()),
                   static_cast<uLong>(compressed.size())) != Z_OK)
    return {};
  out.truncate(static_cast<qsizetype>(length));
  return out;
}

void appendBigEndian32(QByteArray& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.append(static_cast<char>(value >> shift & 0xFF));
}

// The PNG with plain tEXt chunks inserted after its header chunk: every
// reader of the convention reads those, while Qt's writer compresses longer
// texts into zTXt chunks.
QByteArray withTextChunks(const QByteArray& png,
                          const std::vector<std::pair<QByteArray, QByteArray>>& texts) {
  constexpr int kAfterHeader = 8 + 4 + 4 + 13 + 4;  // signature, IHDR chunk
  if (png.size() < kAfterHeader || png.mid(12, 4) != "IHDR") return {};
  QByteArray out = png.left(kAfterHeader);
  for (const auto& [key, value] : texts) {
    const QByteArray chunk = QByteArray("tEXt") + key + '\0' + value;
    appendBigEndian32(out, static_cast<std::uint32_t>(chunk.size() - 4));
    out += chunk;
    appendBigEndian32(out, static_cast<std::uint32_t>(
                               ::crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()),
                                       static_cast<uInt>(chunk.size()))));
  }
  return out + png.mid(kAfterHeader);
}

}  // namespace

std::map<QByteArray, QByteArray> pngTextChunks(const QString& path) {
  // Qt's readers take a colon in a text key for the end of the key, and
  // every key of the convention has two; so the chunks are read here. Qt
  // writes longer texts compressed (zTXt).
  std::map<QByteArray, QByteArray> texts;
  QFile file;
  if (!openCacheFile(path, file) || file.read(8) != QByteArray("\x89PNG\r\n\x1a\n", 8))
    return texts;
  constexpr std::uint32_t kLargestChunk = 1u << 20;
  for (int chunks = 0; chunks < 256; ++chunks) {
    const QByteArray head = file.read(8);
    if (head.size() != 8) break;
    const std::uint32_t length = bigEndian32(head.constData());
    const QByteArray type = head.mid(4, 4);
    if (type == "IDAT" || type == "IEND" || length > kLargestChunk) break;
    const QByteArray data = file.read(length);
    if (data.size() != static_cast<int>(length) || file.read(4).size() != 4) break;
    const int nul = data.indexOf('\0');
    if (nul <= 0) continue;
    const QByteArray key = data.left(nul);
    if (type == "tEXt") {
      texts[key] = data.mid(nul + 1);
    } else if (type == "zTXt" && data.size() > nul + 1 && data[nul + 1] == 0) {
      texts[key] = inflateText(data.mid(nul + 2));
    } else if (type == "iTXt" && data.size() > nul + 2) {
      // Key, compression flag and method, language, translated key, text.
      const int language = data.indexOf('\0', nul + 3);
      const int translated = language < 0 ? -1 : data.indexOf('\0', language + 1);
      if (translated < 0) continue;
      const QByteArray text = data.mid(translated + 1);
      texts[key] = data[nul + 1] == 0 ? text : inflateText(text);
    }
  }
  return texts;
}

int flavourSize(ThumbnailFlavour flavour) { return flavour == ThumbnailFlavour::Large ? 256 : 128; }

ThumbnailCache::ThumbnailCache(QString root) : root_(std::move(root)) {}

QString ThumbnailCache::defaultRoot() {
  // A relative XDG_CACHE_HOME is to be ignored.
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return QFile::decodeName(xdg) + "/thumbnails";
  return QDir::homePath() + "/.cache/thumbnails";
}

QString ThumbnailCache::fileUri(const std::string& absolutePathBytes) {
  // Bytes outside this set are escaped as %XX with capital hex digits: the
  // form the other programs hash, so that both find the same entry.
  static const char kKept[] = "!$&'()*+,-./:=@_~";
  static const char kHex[] = "0123456789ABCDEF";
  QString uri = QStringLiteral("file://");
  for (const char c : absolutePathBytes) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alnum = (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= 'A' && byte <= 'Z');
    if (alnum || (byte != 0 && std::strchr(kKept, byte) != nullptr)) {
      uri += QLatin1Char(static_cast<char>(byte));
    } else {
      uri += QLatin1Char('%');
      uri += QLatin1Char(kHex[byte >> 4]);
      uri += QLatin1Char(kHex[byte & 15]);
    }
  }
  return uri;
}

QString ThumbnailCache::entryPath(const std::string& path, ThumbnailFlavour flavour) const {
  const QByteArray uri = fileUri(absolutePath(path)).toLatin1();
  const QString name =
      QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex());
  const char* folder = flavour == ThumbnailFlavour::Large ? "/large/" : "/normal/";
  return root_ + QLatin1String(folder) + name + QStringLiteral(".png");
}

QImage ThumbnailCache::lookup(const std::string& path, ThumbnailFlavour flavour) const {
  const FileStamp stamp = stampOf(path);
  if (!stamp.ok) return {};
  const QString entry = entryPath(path, flavour);
  // The keys are read before any pixel is decoded.
  const std::map<QByteArray, QByteArray> texts = pngTextChunks(entry);
  auto text = [&](const char* key) {
    const auto it = texts.find(key);
    return it == texts.end() ? QByteArray() : it->second;
  };
  if (text(kUriKey) != fileUri(absolutePath(path)).toLatin1() ||
      text(kMTimeKey) != QByteArray::number(stamp.mtime))
    return {};
  const QByteArray size = text(kSizeKey);
  if (!size.isEmpty() && size != QByteArray::number(stamp.size)) return {};
  QFile file;
  if (!openCacheFile(entry, file)) return {};
  const QImage image = QImageReader(&file, "png").read();
  const int limit = flavourSize(flavour);
  if (image.width() > limit || image.height() > limit) return {};
  return image;
}

bool ThumbnailCache::store(const std::string& path, const QImage& thumbnail,
                           ThumbnailFlavour flavour) const {
  const FileStamp stamp = stampOf(path);
  if (!stamp.ok || thumbnail.isNull()) return false;
  const QString target = entryPath(path, flavour);
  // Thumbnails show what the user's files hold: only the user may read them.
  const QString folder = QFileInfo(target).path();
  if (!QDir().mkpath(folder)) return false;
  QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  const QImage image = thumbnail.convertToFormat(
      thumbnail.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  QByteArray png;
  QBuffer buffer(&png);
  QImageWriter writer(&buffer, "png");
  // Fast compression: a first listing stores a thumbnail per picture, and at
  // the default level the compressing costs more than reading a small picture.
  writer.setQuality(80);
  if (!buffer.open(QIODevice::WriteOnly) || !writer.write(image)) return false;
  png = withTextChunks(png, {{kUriKey, fileUri(absolutePath(path)).toLatin1()},
                             {kMTimeKey, QByteArray::number(stamp.mtime)},
                             {kSizeKey, QByteArray::number(stamp.size)},
                             {"Software", "Folim"}});
  // Through the atomic writer: a link planted at the entry's name is
  // replaced, never written through.
  platform::AtomicFile file(QFile::encodeName(target).toStdString(),
                            platform::AtomicFile::Readers::OwnerOnly);
  if (png.isEmpty() || !file.open()) return false;
  const auto bytes = static_cast<std::size_t>(png.size());
  if (std::fwrite(png.constData(), 1, bytes, file.file()) != bytes) return false;
  return file.commit();
}

QImage ThumbnailCache::fetch(const std::string& path, ThumbnailFlavour flavour, bool* hit) const {
  QImage image = lookup(path, flavour);
  if (hit != nullptr) *hit = !image.isNull();
  if (!image.isNull()) return image;
  image = makeThumbnailPicture(path, flavourSize(flavour));
  // A cache that cannot be written leaves the thumbnail as good as made.
  if (!image.isNull()) store(path, image, flavour);
  return image;
}

QImage makeThumbnailPicture(const std::string& path, int box) {
  if (isRimFile(path)) {
    QImage image;
    if (renderRimThumbnail(path, box, image) != status::Success) return {};
    return image;
  }
  if (!startImageLibrary()) return {};
  // By its bytes, and only a regular file: a FIFO under a picture's name
  // would hold the open for ever.
  QFile file;
  QByteArray format;
  if (!OpenImageFile(path, file, format)) return {};
  // Told by its contents before a reader moves on in the file.
  const bool jpeg = QImageReader::imageFormat(&file) == "jpeg";
  QImageReader reader(&file, format);
  ChooseReaderByContent(reader, file);
  // Photographs are shown upright, as their EXIF orientation says.
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid()) {
    if (!fitsThumbnailBudget(size, jpeg)) return {};
    // Readers that can decode at a reduced size (JPEG) do much less work.
    reader.setScaledSize(fitInBox(size, box));
  }
  QImage image = reader.read();
  if (image.isNull()) return {};
  const QSize fitted = fitInBox(image.size(), box);
  if (image.size() != fitted)
    image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return image;
}

bool LoadThumbnailSource(const ThumbnailCache& cache, const std::string& path, CImageEx& image) {
  if (!image.IsNull()) image.Destroy();
  image.m_nBaseType = kBaseTypeOther;
  const QImage picture = cache.fetch(path, ThumbnailFlavour::Normal);
  if (picture.isNull() || !rasterFromQImage(picture, image)) return false;
  std::uint16_t learningMethod = 0;
  CRIMCodec codec;
  if (isRimFile(path) && codec.readLearningMethod(path, learningMethod) == status::Success)
    image.m_nBaseType = learningMethod;
  return true;
}

}  // namespace imageio
