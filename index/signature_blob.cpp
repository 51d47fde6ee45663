#include "index/signature_blob.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <zlib.h>

#include "codec/rimformat.h"
#include "index/checksum.h"
#include "numeric/status_guard.h"

namespace {

// Version 2 of each blob ends in the CRC-32 of the bytes before it: damage
// inside a page of the index file that leaves every field plausible (a
// colour feature turned into another finite number) is found as well.
// Version 1 blobs, without it, are still read.
constexpr std::uint32_t kSignatureMagicV1 = 0x31475346;  // "FSG1"
constexpr std::uint32_t kSignatureMagicV2 = 0x32475346;  // "FSG2"
// Version 3 holds the fields of version 2 after the magic deflated: the
// quantised bases are most of an entry, and as bytes they are far from
// uniform. "FSG3", the length of the inflated fields, the deflated bytes,
// the CRC (the stream's own checksum covers what it inflates to, not every
// byte of it).
constexpr std::uint32_t kSignatureMagicV3 = 0x33475346;  // "FSG3"
// Version 4 is version 3 with the relative histogram: its bin count after
// the structure's and its values after the structure's.
constexpr std::uint32_t kSignatureMagic = 0x34475346;  // "FSG4"
// Far above any signature the codec's limits allow to be stored; a longer
// announced length is damage, never a reason to allocate.
constexpr std::uint32_t kMaxInflatedFields = 64u << 20;
constexpr std::uint32_t kCompactMagicV1 = 0x31435346;  // "FSC1"
constexpr std::uint32_t kCompactMagicV2 = 0x32435346;  // "FSC2"
// Version 3 adds the relative histogram after the edge profile.
constexpr std::uint32_t kCompactMagic = 0x33435346;  // "FSC3"
constexpr std::size_t kCrcBytes = 4;

std::uint32_t u32At(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// The length of the fields of a blob of the given magics (v1 or v2): 0
// when it is neither, or a v2 blob whose checksum does not match.
std::size_t checkedLength(const std::uint8_t* data, std::size_t size, std::uint32_t v1,
                          std::uint32_t v2) {
  if (size < 4) return 0;
  const std::uint32_t magic = u32At(data);
  if (magic == v1) return size;
  if (magic != v2 || size < 4 + kCrcBytes) return 0;
  const std::size_t fields = size - kCrcBytes;
  return Crc32(data, fields) == u32At(data + fields) ? fields : 0;
}

void appendCrc(std::vector<std::uint8_t>& bytes) {
  const std::uint32_t crc = Crc32(bytes.data(), bytes.size());
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
}

class Writer {
 public:
  void u16(std::uint16_t v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void u64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  void f64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    u64(bits);
  }
  void f32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    u32(bits);
  }
  void integer(std::int64_t v, unsigned width) {
    const std::uint64_t u = static_cast<std::uint64_t>(v);
    for (unsigned i = 0; i < width; ++i) bytes.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
  }
  std::vector<std::uint8_t> bytes;
};

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : p_(data), left_(size) {}
  bool has(std::uint64_t n) const { return n <= left_; }
  std::size_t left() const { return left_; }
  std::uint64_t unsignedOf(unsigned width) {
    std::uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i) v |= std::uint64_t{p_[i]} << (8 * i);
    p_ += width;
    left_ -= width;
    return v;
  }
  std::uint16_t u16() { return static_cast<std::uint16_t>(unsignedOf(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(unsignedOf(4)); }
  double f64() {
    const std::uint64_t bits = unsignedOf(8);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  float f32() {
    const std::uint32_t bits = static_cast<std::uint32_t>(unsignedOf(4));
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  std::int64_t integer(unsigned width) {
    const std::uint64_t u = unsignedOf(width);
    const unsigned shift = 64 - 8 * width;
    return static_cast<std::int64_t>(u << shift) >> shift;  // sign-extend
  }

 private:
  const std::uint8_t* p_;
  std::size_t left_;
};

// The narrowest width (1, 2 or 4 bytes) holding every base as a whole
// number, or 8 when some base is not one (stored as doubles).
unsigned baseWidth(const KPX::Matrix<double>& bases) {
  double largest = 0.0;
  for (std::uint32_t k = 0; k < bases.count(); ++k) {
    const double v = bases.data()[k];
    if (!std::isfinite(v) || v != std::trunc(v) || std::fabs(v) > 2147483647.0) return 8;
    largest = std::fmax(largest, std::fabs(v));
  }
  return largest <= 127.0 ? 1 : largest <= 32767.0 ? 2 : 4;
}

void writeDoubles(Writer& w, const double* v, std::uint32_t n) {
  for (std::uint32_t k = 0; k < n; ++k) w.f64(v[k]);
}

bool readDoubles(Reader& r, double* v, std::uint32_t n) {
  if (!r.has(std::uint64_t{n} * 8)) return false;
  for (std::uint32_t k = 0; k < n; ++k) {
    v[k] = r.f64();
    if (!std::isfinite(v[k])) return false;
  }
  return true;
}

// The fields of a version 3 blob (its CRC checked and cut off) inflated,
// or empty when they do not inflate to exactly the length announced, or
// leave deflated bytes over.
std::vector<std::uint8_t> inflatedFields(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return {};
  const std::uint32_t length = u32At(data + 4);
  if (length == 0 || length > kMaxInflatedFields) return {};
  std::vector<std::uint8_t> fields(length);
  uLongf inflated = length;
  uLong consumed = static_cast<uLong>(size - 8);
  if (uncompress2(fields.data(), &inflated, data + 8, &consumed) != Z_OK || inflated != length ||
      consumed != size - 8)
    return {};
  return fields;
}

// The fields of versions 1 and 2 after the magic, which version 3 deflates;
// version 4 adds the relative histogram.
bool decodeFields(Reader& r, bool withRelative, Signature& signature) {
  if (!r.has(withRelative ? 44 : 40)) return false;
  Signature s;
  s.learningMethod = r.u16();
  const unsigned width = r.u16();
  s.imageWidth = r.u32();
  s.imageHeight = r.u32();
  s.patchWidth = r.u32();
  s.patchHeight = r.u32();
  s.dimension = r.u32();
  const std::uint32_t baseRows = r.u32();
  const std::uint32_t blockRows = r.u32();
  const std::uint32_t histogramBins = r.u32();
  const std::uint32_t structureBins = r.u32();
  const std::uint32_t relativeBins = withRelative ? r.u32() : 0;
  if (s.learningMethod > 1 || (width != 1 && width != 2 && width != 4 && width != 8)) return false;
  RIMHeader header;
  header.imageWidth = s.imageWidth;
  header.imageHeight = s.imageHeight;
  header.patchWidth = s.patchWidth;
  header.patchHeight = s.patchHeight;
  header.dimension = s.dimension;
  if (validateHeader(header) != status::Success) return false;
  // Bases as a file holds them (one row per dimension); features as the
  // search's resolution builds them, or empty when a builder gave up.
  if (baseRows != s.dimension) return false;
  if ((blockRows != 0 && blockRows != kCompactBlockMeans / 3) ||
      (histogramBins != 0 && histogramBins != kCompactHistogram) ||
      (structureBins != 0 && structureBins != kCompactStructure) ||
      (relativeBins != 0 && relativeBins != kRelativeBins))
    return false;
  const std::uint64_t baseCount = std::uint64_t{baseRows} * patchLength(header);
  const std::uint64_t expected =
      baseCount * width +
      (std::uint64_t{blockRows} * 3 + histogramBins + structureBins + relativeBins) * 8;
  if (expected != r.left()) return false;
  // Damaged values or no memory for them: no signature either way.
  const Status decoded = guardStatus([&] {
    s.bases.resize(baseRows, patchLength(header));
    for (std::uint64_t k = 0; k < baseCount; ++k) {
      const double v = width == 8 ? r.f64() : static_cast<double>(r.integer(width));
      if (!std::isfinite(v)) return status::InvalidValues;
      s.bases.data()[k] = v;
    }
    s.blockMeans.resize(blockRows, blockRows == 0 ? 0 : 3);
    s.histogram.resize(histogramBins);
    s.structure.resize(structureBins);
    s.relativeHistogram.resize(relativeBins);
    if (!readDoubles(r, s.blockMeans.data(), s.blockMeans.count()) ||
        !readDoubles(r, s.histogram.data(), histogramBins) ||
        !readDoubles(r, s.structure.data(), structureBins) ||
        !readDoubles(r, s.relativeHistogram.data(), relativeBins))
      return status::InvalidValues;
    ComputeBaseNorms(s);
    return status::Success;
  });
  if (decoded != status::Success) return false;
  signature = std::move(s);
  return true;
}

// The fields after the magic: those of versions 1 to 3, or of version 4
// with the relative histogram.
void writeFields(Writer& w, const Signature& s, bool withRelative) {
  const unsigned width = baseWidth(s.bases);
  w.u16(s.learningMethod);
  w.u16(static_cast<std::uint16_t>(width));
  w.u32(s.imageWidth);
  w.u32(s.imageHeight);
  w.u32(s.patchWidth);
  w.u32(s.patchHeight);
  w.u32(s.dimension);
  w.u32(s.bases.rows());
  w.u32(s.blockMeans.rows());
  w.u32(s.histogram.count());
  w.u32(s.structure.count());
  if (withRelative) w.u32(s.relativeHistogram.count());
  for (std::uint32_t k = 0; k < s.bases.count(); ++k) {
    if (width == 8)
      w.f64(s.bases.data()[k]);
    else
      w.integer(static_cast<std::int64_t>(s.bases.data()[k]), width);
  }
  writeDoubles(w, s.blockMeans.data(), s.blockMeans.count());
  writeDoubles(w, s.histogram.data(), s.histogram.count());
  writeDoubles(w, s.structure.data(), s.structure.count());
  if (withRelative) writeDoubles(w, s.relativeHistogram.data(), s.relativeHistogram.count());
}

}  // namespace

std::vector<std::uint8_t> EncodePlainSignature(const Signature& s) {
  Writer w;
  w.u32(kSignatureMagicV2);
  writeFields(w, s, false);
  appendCrc(w.bytes);
  return w.bytes;
}

std::vector<std::uint8_t> EncodeSignature(const Signature& s) {
  Writer plain;
  writeFields(plain, s, true);
  const std::uint8_t* fields = plain.bytes.data();
  const uLong fieldsSize = static_cast<uLong>(plain.bytes.size());
  uLongf deflatedSize = compressBound(fieldsSize);
  Writer w;
  w.u32(kSignatureMagic);
  w.u32(static_cast<std::uint32_t>(fieldsSize));
  const std::size_t start = w.bytes.size();
  w.bytes.resize(start + deflatedSize);
  if (compress2(w.bytes.data() + start, &deflatedSize, fields, fieldsSize, Z_BEST_COMPRESSION) !=
      Z_OK)
    throw std::bad_alloc();  // zlib fails here only for want of memory
  w.bytes.resize(start + deflatedSize);
  appendCrc(w.bytes);
  return w.bytes;
}

bool DecodeSignature(const std::uint8_t* data, std::size_t size, Signature& signature) {
  const std::uint32_t magic = size >= 4 ? u32At(data) : 0;
  if (magic == kSignatureMagic || magic == kSignatureMagicV3) {
    if (size < 4 + kCrcBytes) return false;
    const std::size_t length = size - kCrcBytes;
    if (Crc32(data, length) != u32At(data + length)) return false;
    std::vector<std::uint8_t> fields;
    if (guardStatus([&] { fields = inflatedFields(data, length); }) != status::Success ||
        fields.empty())
      return false;
    Reader r(fields.data(), fields.size());
    return decodeFields(r, magic == kSignatureMagic, signature);
  }
  const std::size_t fields = checkedLength(data, size, kSignatureMagicV1, kSignatureMagicV2);
  if (fields < 4) return false;
  Reader r(data + 4, fields - 4);
  return decodeFields(r, false, signature);
}

std::vector<std::uint8_t> EncodeCompact(const CompactSignature& c) {
  Writer w;
  // Without a relative histogram the descriptor is what version 2 held.
  w.u32(c.hasRelative ? kCompactMagic : kCompactMagicV2);
  w.u16(c.learningMethod);
  w.u16(0);
  for (float v : c.blockMeans) w.f32(v);
  for (float v : c.histogram) w.f32(v);
  for (float v : c.structure) w.f32(v);
  for (float v : c.edgeProfile) w.f32(v);
  if (c.hasRelative)
    for (float v : c.relative) w.f32(v);
  appendCrc(w.bytes);
  return w.bytes;
}

bool DecodeCompact(const std::uint8_t* data, std::size_t size, CompactSignature& compact) {
  constexpr std::size_t kFloats =
      kCompactBlockMeans + kCompactHistogram + kCompactStructure + kCompactBands;
  const bool withRelative = size >= 4 && u32At(data) == kCompactMagic;
  const std::size_t fields = withRelative
                                 ? checkedLength(data, size, kCompactMagicV1, kCompactMagic)
                                 : checkedLength(data, size, kCompactMagicV1, kCompactMagicV2);
  if (fields != 8 + (kFloats + (withRelative ? kRelativeBins : 0)) * 4) return false;
  Reader r(data, fields);
  r.u32();  // the magic, checked
  CompactSignature c;
  c.hasRelative = withRelative;
  c.learningMethod = r.u16();
  if (c.learningMethod > 1 || r.u16() != 0) return false;
  auto fill = [&r](auto& values) {
    for (float& v : values) {
      v = r.f32();
      if (!std::isfinite(v)) return false;
    }
    return true;
  };
  if (!fill(c.blockMeans) || !fill(c.histogram) || !fill(c.structure) || !fill(c.edgeProfile) ||
      (withRelative && !fill(c.relative)))
    return false;
  compact = c;
  return true;
}
