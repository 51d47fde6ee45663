#include "imageio/export.h"

#include <cerrno>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "imageio/file_kind.h"
#include "imageio/image_damage.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "platform/atomic_file.h"

void LoadForExport(const std::string& sourcePath, std::uint16_t sourceBaseType, CImage& image,
                   const MessageFunction& message) {
  if (sourceBaseType == kBaseTypeOther) {
    LoadWithImageLibrary(sourcePath, image);
    return;
  }
  CRIMCodec codec;
  if (codec.decodeFile(image, sourcePath) != status::Success && message)
    message("FILE_WRITE_FAILED");
}

Status ExportToRim(const std::string& sourcePath, std::uint16_t sourceBaseType,
                   const std::string& destinationPath, const MessageFunction& message,
                   const std::string& configFile) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  if (configFile.empty())
    loadConversionParameters(common, learning, compression);
  else
    loadConversionParameters(configFile, common, learning, compression);

  CRIMCodec codec;
  // Encoding with parameters the codec refused would code with components
  // that never received their settings, so a refusal ends the export.
  FOLIM_RETURN_IF_ERROR(codec.setParameters(&common, &learning, &compression));

  CImageEx image;
  LoadForExport(sourcePath, sourceBaseType, image, message);
  return codec.encodeFile(destinationPath, image, nullptr);
}

namespace {

std::string statusText(Status code) {
  std::string text = statusMessage(code);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

bool LoadForSaving(const std::string& sourcePath, std::uint16_t sourceBaseType, CImage& image,
                   std::string& why) {
  // A RIM file that failed to load earlier carries the base type of an
  // ordinary image; its name still says what it is.
  if (sourceBaseType == kBaseTypeOther && GetFileKind(sourcePath) != kFileKindRim) {
    why = imageio::imageDamage(sourcePath);
    if (!why.empty()) return false;
    if (LoadWithImageLibrary(sourcePath, image, &why)) return true;
    why = "cannot read: " + why;
    return false;
  }
  CRIMCodec codec;
  const Status decoded = codec.decodeFile(image, sourcePath);
  if (decoded == status::Success) return true;
  why = "cannot decode: " + statusText(decoded);
  return false;
}

bool SaveAsRim(const CImage& image, const std::string& destinationPath, std::string& why,
               const std::string& configFile) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  if (configFile.empty())
    loadConversionParameters(common, learning, compression);
  else
    loadConversionParameters(configFile, common, learning, compression);
  CRIMCodec codec;
  Status result = codec.setParameters(&common, &learning, &compression);
  if (result != status::Success) {
    why = "the conversion parameters were refused: " + statusText(result);
    return false;
  }
  if (codec.checkImageSize(static_cast<std::uint32_t>(image.GetWidth()),
                           static_cast<std::uint32_t>(image.GetHeight())) != status::Success) {
    why = "the image is too large to encode (" + std::to_string(image.GetWidth()) + " x " +
          std::to_string(image.GetHeight()) + " pixels)";
    return false;
  }
  errno = 0;
  result = codec.encodeFile(destinationPath, image, nullptr);
  const int error = errno;
  if (result == status::Success) return true;
  if ((result == status::CannotOpenFile || result == status::WriteFailed) && error != 0)
    why = "cannot write: " + platform::writeErrorText(error);
  else
    why = statusText(result);
  return false;
}
