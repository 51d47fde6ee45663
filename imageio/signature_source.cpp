#include "imageio/signature_source.h"

#include <algorithm>
#include <cstdlib>

#include <QFile>
#include <QImageReader>

#include <filesystem>
#include <set>
#include <system_error>
#include "codec/limits.h"

#include "imageio/file_kind.h"
#include "imageio/image_library.h"
#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"
#include "numeric/trace.h"
#include "platform/directory.h"

SignatureParameters currentSignatureParameters() {
  SignatureParameters p;
  loadConversionParameters(p.common, p.learning, p.compression);
  // For measuring the decode size: FOLIM_SIGNATURE_SIDE=0 learns at full
  // size. Its value is part of the parameters' key.
  if (const char* side = std::getenv("FOLIM_SIGNATURE_SIDE")) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(side, &end, 10);
    if (end != side && *end == '\0' && v <= 65535) p.maxSide = static_cast<std::uint32_t>(v);
  }
  return p;
}

std::string signatureParametersKey(const SignatureParameters& p) {
  const std::uint32_t basePrecision = p.compression.BasePrecisionBit != 0
                                          ? p.compression.BasePrecisionBit
                                          : p.compression.PrecisionBit;
  return stringf(
      "sig1 space=%u patch=%ux%u dim=%u iter=%u cond=%.17g avgstep=%u basebits=%u side=%u",
      static_cast<unsigned>(p.common.ColorSpace), p.common.PatchWidth, p.common.PatchHeight,
      p.learning.DimensionReduction, p.learning.MaxIterations, p.learning.ConversionCondition,
      p.compression.AverageQuantizeStep, basePrecision, p.maxSide);
}

bool LoadForSignature(const std::string& path, std::uint32_t maxSide, CImage& image,
                      std::string* error) {
  image.Destroy();
  auto fail = [error](const std::string& text) {
    if (error != nullptr) *error = text;
    return false;
  };
  if (!imageio::startImageLibrary()) return fail("the image library cannot be started");
  // By its bytes, so that any name on disk is read; upright, as the
  // conversions read it, so that a RIM file made from it matches.
  QFile file;
  QByteArray format;
  std::string why;
  if (!OpenImageFile(path, file, format, &why)) return fail(why);
  QImageReader reader(&file, format);
  ChooseReaderByContent(reader, file);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid()) {
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(size.width()) * static_cast<std::uint64_t>(size.height());
    if (pixels > codecLimits().maxPixels) return fail("the image is too large");
    const int longer = std::max(size.width(), size.height());
    // Reading reduced lets the JPEG decoder skip most of its work.
    if (maxSide != 0 && longer > static_cast<int>(maxSide)) {
      const double f = static_cast<double>(maxSide) / longer;
      reader.setScaledSize(QSize(std::max(1, static_cast<int>(size.width() * f + 0.5)),
                                 std::max(1, static_cast<int>(size.height() * f + 0.5))));
    }
  }
  QImage decoded = reader.read();
  if (decoded.isNull()) return fail(reader.errorString().toStdString());
  decoded = decoded.convertToFormat(QImage::Format_RGB32);
  if (decoded.isNull() || !imageio::rasterFromQImage(decoded, image))
    return fail("the image is too large or memory ran out");
  return true;
}

bool IsIndexablePicture(const std::string& name) {
  if (GetFileKind(name) != kFileKindNone) return true;
  const std::string lower = platform::toLowerAscii(name);
  return lower.size() > 5 && lower.compare(lower.size() - 5, 5, ".webp") == 0;
}

namespace {

void listInto(const std::string& dir, bool recursive, std::set<std::string>& visited,
              std::vector<std::string>& out) {
  if (recursive) {
    // Symbolic links may lead back up the tree.
    std::error_code error;
    const std::string real = std::filesystem::canonical(dir, error).string();
    if (!error && !visited.insert(real).second) return;
  }
  for (const platform::DirectoryEntry& entry : platform::listDirectory(dir)) {
    if (entry.isDirectory) {
      if (recursive) listInto(entry.path, recursive, visited, out);
    } else if (IsIndexablePicture(entry.name)) {
      out.push_back(entry.path);
    }
  }
}

}  // namespace

std::vector<std::string> listIndexablePictures(const std::string& dir, bool recursive) {
  std::vector<std::string> out;
  std::set<std::string> visited;
  listInto(dir, recursive, visited, out);
  return out;
}

Status FileSignature(const std::string& path, const SignatureParameters& parameters,
                     Signature& signature, std::string* why) {
  const std::size_t slash = path.find_last_of('/');
  if (GetFileKind(slash == std::string::npos ? path : path.substr(slash + 1)) == kFileKindRim)
    return ReadRimSignature(path, signature);
  CImage image;
  if (!LoadForSignature(path, parameters.maxSide, image, why)) return status::CannotOpenFile;
  return LearnSignature(image, parameters.common, parameters.learning, parameters.compression,
                        signature);
}

std::function<Status(const std::string& path, Signature& signature, std::string& cause)>
IndexSignatureSource(const SignatureParameters& parameters) {
  return [parameters](const std::string& path, Signature& signature, std::string& cause) {
    ThreadTraceTarget quiet(nullptr);
    return FileSignature(path, parameters, signature, &cause);
  };
}
