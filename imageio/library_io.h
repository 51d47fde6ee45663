// Ordinary image files in and out through Qt's image readers and writers,
// standing in for the platform image library.
#pragma once

#include <string>

#include "codec/raster.h"

class QByteArray;
class QFile;
class QIODevice;
class QImageReader;

// Loads any image file Qt can read into image, with the depth rules of
// rasterFromQImage, turned upright as its orientation tag says. Paths travel
// as bytes; only regular files are read. On failure the image is left empty and, when error is
// given, it receives the reason. Images over the raster pixel limit are
// refused before they are decoded.
bool LoadWithImageLibrary(const std::string& path, CImage& image, std::string* error = nullptr);

// What a reduced load read: the upright size of the whole picture, and the
// scale of the decode (1, 2, 4 or 8: each side divided by it, rounded up).
struct ReducedLoad {
  int fullWidth = 0;
  int fullHeight = 0;
  int reduction = 1;
};

// The largest reduction of 8, 4 and 2 whose picture (each side divided by
// it, rounded up) still covers the picture fitted into the box, aspect ratio
// kept; 1 when none does or the picture fits the box as it is.
int coveringReduction(int fullWidth, int fullHeight, int boxWidth, int boxHeight);

// As LoadWithImageLibrary, for showing the picture fitted into a box (upright
// width and height): a reader that can read at a reduced size reads it at
// coveringReduction (JPEG decodes that in the DCT, at a fraction of the work;
// PNG scales as it reads), any other reads it whole. load
// receives the whole picture's size and the reduction used. Such pixels are
// for the screen only: whatever keeps or converts the picture loads it whole.
bool LoadReducedWithImageLibrary(const std::string& path, int boxWidth, int boxHeight,
                                 CImage& image, ReducedLoad& load, std::string* error = nullptr);

// Writes image to path with the writer whose format name matches the path's
// extension (from the last dot of its last component, compared without
// regard to case, in the order Qt lists its writers). No extension, an
// extension no writer has (".rim" among them), an empty image or a failed
// write: false. The file is written to a temporary beside the target and
// renamed over it only when complete, so a failure never leaves a partial
// file or destroys an existing one.
// error (when given) receives the reason of a failure.
bool SaveByExtension(const CImage& image, const std::string& path, std::string* error = nullptr);

// Writes image to path with the named Qt writer ("bmp", "png"...), whatever
// the path's extension, in the same whole-or-nothing way.
bool SaveWithFormat(const CImage& image, const std::string& path, const std::string& format,
                    std::string* error = nullptr);

// The width and height of an image file as it would be loaded (upright), read
// from its header without decoding the pixels. False (with the reason in
// error) when the header cannot be read.
bool ReadImageSize(const std::string& path, int& width, int& height, std::string* error = nullptr);

// The name of the Qt writer SaveByExtension would choose for path, or ""
// when there is none.
std::string writerFormatFor(const std::string& path);

// The target extension of a path as SaveByExtension sees it (dot included,
// empty when the last component has no dot).
std::string targetExtension(const std::string& path);

// Opens an image file by its bytes for a QImageReader (only regular files),
// with the format its extension suggests. False with the reason in error.
// A file that holds RIM data, whatever its name, is refused here and by every
// load above with "Unsupported image format", as Qt refuses it when it has no
// RIM reader: RIM files go through the codec, and what is read does not
// depend on the plugins installed.
bool OpenImageFile(const std::string& path, QFile& file, QByteArray& format,
                   std::string* error = nullptr);

// Points a reader of an opened file at the format its first bytes show, for
// the common ones (PNG, JPEG, GIF, BMP, PBM/PGM/PPM): a file is read as what
// it holds whatever it is called, and Qt does not load every image plugin to
// ask each whether it reads the file. Other files are left to the reader's
// own choice. The file's position stays.
void ChooseReaderByContent(QImageReader& reader, QIODevice& file);
