#include "imageio/export.h"

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"

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
  const Status accepted = codec.setParameters(&common, &learning, &compression);
  if (accepted != status::Success) return accepted;

  CImageEx image;
  LoadForExport(sourcePath, sourceBaseType, image, message);
  return codec.encodeFile(destinationPath, image, nullptr);
}
