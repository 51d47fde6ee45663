// The bases file: learned bases stored so that later encodes can skip
// learning. 16-byte little-endian header (magic, rows, columns, element
// size 8), then the doubles row by row.
#include <cstdio>
#include <cstring>
#include <memory>

#include "codec/limits.h"
#include "codec/rim_codec.h"
#include "numeric/status_guard.h"
#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace {

// Reading failed: there are no bases to be had, learn instead.
constexpr Status kBasesUnusable = status::BufferEmpty;

std::uint32_t loadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void storeU32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

double loadDouble(const unsigned char* p) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  double v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

void storeDouble(unsigned char* p, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(bits >> (8 * i));
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

Status readBasesFile(const std::string& path, KPX::Matrix<double>& bases) {
  std::unique_ptr<std::FILE, FileCloser> file(platform::openRegularStream(path));
  if (!file) return kBasesUnusable;
  unsigned char head[16];
  if (std::fread(head, 1, sizeof head, file.get()) != sizeof head) return kBasesUnusable;
  if (loadU32(head) != kBasesFileMagic) return kBasesUnusable;
  const std::uint32_t rows = loadU32(head + 4);
  const std::uint32_t cols = loadU32(head + 8);
  if (loadU32(head + 12) != sizeof(double)) return kBasesUnusable;

  // The announced data must fit the limits and really be in the file before
  // anything is allocated for it.
  const std::uint64_t bytes = static_cast<std::uint64_t>(rows) * cols * sizeof(double);
  if (bytes > codecLimits().maxBasesFileBytes) return kBasesUnusable;
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return kBasesUnusable;
  const long end = std::ftell(file.get());
  if (end < 0 || static_cast<std::uint64_t>(end) - sizeof head < bytes) return kBasesUnusable;
  if (std::fseek(file.get(), static_cast<long>(sizeof head), SEEK_SET) != 0) return kBasesUnusable;

  // Bases there is no memory for are as unusable as damaged ones.
  KPX::Matrix<double> read;
  if (guardStatus([&] { read.resize(rows, cols); }) != status::Success) return kBasesUnusable;
  unsigned char value[8];
  for (std::uint32_t k = 0; k < read.count(); ++k) {
    if (std::fread(value, 1, sizeof value, file.get()) != sizeof value) return kBasesUnusable;
    read.data()[k] = loadDouble(value);
  }
  bases = std::move(read);
  return status::Success;
}

Status writeBasesFile(const std::string& path, const KPX::Matrix<double>& bases) {
  platform::AtomicFile output(path);
  if (!output.open()) return status::WriteFailed;
  unsigned char head[16];
  storeU32(head, kBasesFileMagic);
  storeU32(head + 4, bases.rows());
  storeU32(head + 8, bases.cols());
  storeU32(head + 12, sizeof(double));
  if (std::fwrite(head, 1, sizeof head, output.file()) != sizeof head) return status::WriteFailed;
  unsigned char value[8];
  for (std::uint32_t k = 0; k < bases.count(); ++k) {
    storeDouble(value, bases.data()[k]);
    if (std::fwrite(value, 1, sizeof value, output.file()) != sizeof value)
      return status::WriteFailed;
  }
  return output.commit() ? status::Success : status::WriteFailed;
}
