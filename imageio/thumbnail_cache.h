// The thumbnail cache that desktop programs share (~/.cache/thumbnails):
// one PNG per image file, named by the MD5 of the file's URI, carrying the
// URI and the file's modification time so that a thumbnail of a file that
// has changed since is recognised and made again.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <map>
#include <string>

class CImageEx;

namespace imageio {

enum class ThumbnailFlavour { Normal, Large };  // at most 128 and 256 pixels

int flavourSize(ThumbnailFlavour flavour);

class ThumbnailCache {
 public:
  // root holds the folders normal/ and large/; by default
  // $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails.
  explicit ThumbnailCache(QString root = defaultRoot());

  static QString defaultRoot();
  // file:// URI of an absolute path, escaped as desktop programs escape it.
  static QString fileUri(const std::string& absolutePath);

  const QString& root() const { return root_; }
  // Where the thumbnail of path is kept.
  QString entryPath(const std::string& path, ThumbnailFlavour flavour) const;

  // The cached thumbnail of path when the entry is there, readable, and
  // made from the file as it is now; a null image otherwise.
  QImage lookup(const std::string& path, ThumbnailFlavour flavour) const;
  // Stores thumbnail as the entry of path, replacing any entry there; the
  // entry appears whole or not at all. False when it cannot be written.
  bool store(const std::string& path, const QImage& thumbnail, ThumbnailFlavour flavour) const;

  // The thumbnail of path from the cache, or made from the file (RIM files
  // as renderRimThumbnail draws them, other images read at the reduced
  // size) and stored. hit, when given, tells which. Null when the file
  // cannot be read.
  QImage fetch(const std::string& path, ThumbnailFlavour flavour, bool* hit = nullptr) const;

 private:
  QString root_;
};

// The text chunks (tEXt, zTXt, iTXt) of a PNG file that come before
// its image data, key to value; empty when the file is no PNG.
std::map<QByteArray, QByteArray> pngTextChunks(const QString& path);

// Makes the thumbnail picture of path, without the cache.
QImage makeThumbnailPicture(const std::string& path, int box);

// Loads path for the 96 x 96 thumbnail list through the cache: the image
// becomes the cached picture and m_nBaseType the file's base type. False
// when the file cannot be read (the image is then empty).
bool LoadThumbnailSource(const ThumbnailCache& cache, const std::string& path, CImageEx& image);

}  // namespace imageio
