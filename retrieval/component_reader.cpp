#include "retrieval/component_reader.h"

#include <cstdio>
#include <new>

#include "codec/rimformat.h"

namespace {

// Closes the file however the read ends.
struct FileCloser {
  std::FILE* file;
  ~FileCloser() {
    if (file != nullptr) std::fclose(file);
  }
};

Status readOpened(std::FILE* file, RimSection section, CRIMComponent& component) {
  const std::uint64_t fileSize = remainingBytes(file);
  RIMHeader header;
  Status status = readHeader(file, header);
  if (status != status::Success) return status;
  status = validateHeader(header, fileSize);
  if (status != status::Success) return status;
  status = component.setShapeFromHeader(header);
  if (status != status::Success) return status;
  const std::uint32_t offset =
      section == RimSection::Averages ? header.averageOffset : header.baseOffset;
  if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) return status::ReadFailed;
  status = component.readSection(file);
  if (status != status::Success) return status;
  return component.decode(false);
}

}  // namespace

Status ReadRimComponent(const std::string& path, RimSection section, CRIMComponent& component) {
  FileCloser closer{std::fopen(path.c_str(), "rb")};
  if (closer.file == nullptr) return status::CannotOpenFile;
  try {
    return readOpened(closer.file, section, component);
  } catch (const KPX::MatrixException&) {
    return status::NoMemory;
  } catch (const std::bad_alloc&) {
    return status::NoMemory;
  }
}
