// The file-format side of the codec object: header and sections.
#include "codec/rim_codec.h"
#include "codec/rim_file.h"

Status CRIMCodec::writeHeader(std::FILE* file, const CImage& source) {
  header = RIMHeader{};
  header.fileType = kRimMagic;
  header.colorSpace = common.ColorSpace;
  header.learningMethod = learning.MaxIterations != 0 ? 1 : 0;
  header.imageHeight = static_cast<std::uint32_t>(source.GetHeight());
  header.imageWidth = static_cast<std::uint32_t>(source.GetWidth());
  header.patchHeight = common.PatchHeight;
  header.patchWidth = common.PatchWidth;
  header.dimension = learning.DimensionReduction;
  header.reserved0 = 0;
  header.reserved1 = 0;

  // Offsets are 32-bit: a file that cannot be addressed is not written.
  const std::uint64_t baseOffset = std::uint64_t{kRimHeaderSize} + average.sectionSize();
  const std::uint64_t coeffOffset = baseOffset + base.sectionSize();
  if (coeffOffset + coeff.sectionSize() > UINT32_MAX) return status::InvalidValues;
  header.averageOffset = kRimHeaderSize;
  header.baseOffset = static_cast<std::uint32_t>(baseOffset);
  header.coeffOffset = static_cast<std::uint32_t>(coeffOffset);
  return writeHeaderBytes(file, header);
}

Status CRIMCodec::writeSections(std::FILE* file) {
  FOLIM_RETURN_IF_ERROR(average.writeSection(file));
  FOLIM_RETURN_IF_ERROR(base.writeSection(file));
  return coeff.writeSection(file);
}

Status CRIMCodec::readSections(std::FILE* file) {
  FOLIM_RETURN_IF_ERROR(average.readSection(file));
  FOLIM_RETURN_IF_ERROR(base.readSection(file));
  return coeff.readSection(file);
}

Status CRIMCodec::readLearningMethod(const std::string& path, std::uint16_t& learningMethod) {
  RimFile file = openRimFile(path, "rb");
  if (!file) return status::CannotOpenFile;
  FOLIM_RETURN_IF_ERROR(readHeader(file.get(), header));
  learningMethod = header.learningMethod;
  return status::Success;
}

void CRIMCodec::printHeader() const { ::printHeader(header); }

void CRIMCodec::printFileSizes() const {
  ::printFileSizes(average.sectionSize(), base.sectionSize(), coeff.sectionSize());
}
