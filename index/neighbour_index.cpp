#include "index/neighbour_index.h"

#include <faiss/IndexFlat.h>
#include <faiss/IndexScalarQuantizer.h>
#include <faiss/impl/FaissException.h>
#include <faiss/impl/io.h>
#include <faiss/index_io.h>
#include <faiss/invlists/OnDiskInvertedLists.h>
#include <omp.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>

#include "index/checksum.h"
#include "numeric/cpu_features.h"
#include "numeric/parallel.h"
#include "retrieval/color_mode.h"

namespace {

constexpr std::uint32_t kMagic = 0x32564946;  // "FIV2"
// Lists per entry: about 4 sqrt(n), the usual balance of the coarse
// search's cost against the lists' lengths; each list trained on at most
// kTrainPerList points (more cost time and change little).
constexpr double kListsPerRoot = 4.0;
constexpr std::size_t kTrainPerList = 32;
constexpr int kTrainRounds = 10;
constexpr std::size_t kAddBatch = 8192;
// How many of the nearest lists a search reads: a fixed share of them, and
// never fewer than kMinProbes (measured for the top 10 of the exact
// ranking to come out of the candidates).
constexpr std::size_t kMinProbes = 24;
constexpr std::size_t kProbeShare = 16;  // one list in this many

struct Header {
  std::uint32_t magic = kMagic;
  std::uint32_t pointSize = kNeighbourPointSize;
  std::int64_t epoch = 0;
  std::int64_t generation = 0;
  std::uint64_t count = 0;
  std::uint64_t keyLength = 0;
  std::uint64_t faissLength = 0;
  std::uint64_t checkedLength = 0;  // FAISS's bytes before the lists' codes and ids
};

class File {
 public:
  File(const std::string& name, const char* mode) : f_(std::fopen(name.c_str(), mode)) {}
  ~File() {
    if (f_ != nullptr) std::fclose(f_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  FILE* get() const { return f_; }
  bool close() {
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
  }

 private:
  FILE* f_;
};

bool readAt(FILE* f, long at, void* to, std::size_t n) {
  return std::fseek(f, at, SEEK_SET) == 0 && std::fread(to, 1, n, f) == n;
}

// The CRC of the header, the key and FAISS's structure, which starts after them.
bool checksumOf(FILE* f, const Header& h, const std::string& key, std::uint32_t& crc) {
  std::vector<std::uint8_t> bytes(sizeof h + key.size() + h.checkedLength);
  std::memcpy(bytes.data(), &h, sizeof h);
  std::memcpy(bytes.data() + sizeof h, key.data(), key.size());
  if (!readAt(f, static_cast<long>(sizeof h + key.size() + sizeof crc),
              bytes.data() + sizeof h + key.size(), h.checkedLength))
    return false;
  crc = Crc32(bytes.data(), bytes.size());
  return true;
}

// In the order of their values, so that the training does not depend on
// the order the entries came in (nor so on the row ids an index gave them).
void sortPoints(std::vector<float>& points) {
  const std::size_t n = points.size() / kNeighbourPointSize;
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  const auto at = [&points](std::size_t i) { return points.begin() + i * kNeighbourPointSize; };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::lexicographical_compare(at(a), at(a) + kNeighbourPointSize, at(b),
                                        at(b) + kNeighbourPointSize);
  });
  std::vector<float> sorted;
  sorted.reserve(points.size());
  for (std::size_t i : order) sorted.insert(sorted.end(), at(i), at(i) + kNeighbourPointSize);
  points = std::move(sorted);
}

#if defined(__x86_64__)
// Half floats widened 8 at a time by the processor: exactly FAISS's own
// decoding of them, at a fraction of its cost.
__attribute__((target("avx2,f16c"))) void widenHalves(const std::uint8_t* codes, float* out,
                                                      std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(codes + 2 * i));
    _mm256_storeu_ps(out + i, _mm256_cvtph_ps(h));
  }
  for (; i < count; ++i) {
    std::uint16_t h;
    std::memcpy(&h, codes + 2 * i, sizeof h);
    out[i] = _cvtsh_ss(h);
  }
}
#endif

// The points (offsets from their list's centre) of n codes.
void decodeHalves(const faiss::IndexIVFScalarQuantizer& ivf, const std::uint8_t* codes, float* out,
                  std::size_t n) {
#if defined(__x86_64__)
  // Every processor with AVX2 converts half floats (F16C).
  if (KPX::vectorLevel() >= KPX::VectorLevel::Avx2 &&
      ivf.sq.qtype == faiss::ScalarQuantizer::QT_fp16) {
    widenHalves(codes, out, n * kNeighbourPointSize);
    return;
  }
#endif
  ivf.sq.decode(codes, out, n);
}

// The j-th id of a list. In the file a list's ids follow its codes
// directly, so with codes of an odd number of 16-bit values they need not
// lie on 8-byte boundaries: read bytewise.
std::int64_t idAt(const std::uint8_t* ids, std::size_t j) {
  std::int64_t id = 0;
  std::memcpy(&id, ids + j * sizeof id, sizeof id);
  return id;
}

// The n points of list (offsets from its centre in the codes), with the
// centre added back.
void decodePoints(const faiss::IndexIVFScalarQuantizer& ivf, faiss::Index::idx_t list,
                  const std::uint8_t* codes, std::size_t n, std::vector<float>& points) {
  points.resize(n * kNeighbourPointSize);
  decodeHalves(ivf, codes, points.data(), n);
  if (!ivf.by_residual) return;
  float centre[kNeighbourPointSize];
  ivf.quantizer->reconstruct(list, centre);
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t d = 0; d < kNeighbourPointSize; ++d)
      points[j * kNeighbourPointSize + d] += centre[d];
}

void useThreads(unsigned threads) { omp_set_num_threads(static_cast<int>(std::max(1u, threads))); }

std::size_t probesOf(std::size_t lists) {
  return std::min(lists, std::max(kMinProbes, lists / kProbeShare));
}

// The k best of the (estimate, id) pairs offered: best first, equal
// estimates by id, so that the choice depends neither on the order they
// come in nor on the threads.
class Shortlist {
 public:
  explicit Shortlist(std::size_t k) : k_(k) {}
  void Offer(float estimate, std::int64_t id) {
    if (estimate < floor_) return;
    items_.emplace_back(estimate, id);
    if (items_.size() >= 4 * k_ + 64) prune();
  }
  std::vector<std::int64_t> Ids() {
    prune();
    std::sort(items_.begin(), items_.end(), better);
    std::vector<std::int64_t> ids(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i) ids[i] = items_[i].second;
    return ids;
  }

 private:
  using Item = std::pair<float, std::int64_t>;
  static bool better(const Item& a, const Item& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  }
  // Keeps the k best; an estimate below the k-th can never enter again.
  void prune() {
    if (items_.size() <= k_) return;
    std::nth_element(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(k_ - 1),
                     items_.end(), better);
    items_.resize(k_);
    floor_ = items_.back().first;
  }

  std::size_t k_;
  float floor_ = -std::numeric_limits<float>::infinity();
  std::vector<Item> items_;
};

#if defined(__x86_64__)
// Columns are padded to a multiple of both kernels' steps.
constexpr std::size_t kColumnStep = 16;

// The estimates of four queries against the clamped points of a list laid
// out value by value (columns[d * stride + j] the d-th value of the j-th
// point): out[u * stride + j] for query u and point j. Each value is read
// once for the four. The products and sums are those of EstimateOfPoints,
// in the same order, so the estimates are equal to its own.
__attribute__((target("avx2"))) void estimateColumns(const float* const* queries,
                                                     const float* columns, std::size_t stride,
                                                     float* out) {
  for (std::size_t j = 0; j < stride; j += 8) {
    __m256 s[4] = {_mm256_setzero_ps(), _mm256_setzero_ps(), _mm256_setzero_ps(),
                   _mm256_setzero_ps()};
    for (std::size_t d = 0; d < kNeighbourPointSize; ++d) {
      const __m256 t = _mm256_loadu_ps(columns + d * stride + j);
      for (int u = 0; u < 4; ++u) {
        const __m256 m = _mm256_min_ps(_mm256_set1_ps(queries[u][d]), t);
        s[u] = _mm256_add_ps(s[u], _mm256_mul_ps(m, m));
      }
    }
    for (int u = 0; u < 4; ++u) _mm256_storeu_ps(out + u * stride + j, s[u]);
  }
}

// The same, 16 points at a time. The products and sums are rounded apart,
// as the plain loop rounds them, never fused. (GCC's AVX-512 intrinsics
// start from an "undefined" register that its flow analysis takes for an
// uninitialised read.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f"))) void estimateColumnsWide(const float* const* queries,
                                                            const float* columns,
                                                            std::size_t stride, float* out) {
  constexpr int kNearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
  for (std::size_t j = 0; j < stride; j += 16) {
    __m512 s[4] = {_mm512_setzero_ps(), _mm512_setzero_ps(), _mm512_setzero_ps(),
                   _mm512_setzero_ps()};
    for (std::size_t d = 0; d < kNeighbourPointSize; ++d) {
      const __m512 t = _mm512_loadu_ps(columns + d * stride + j);
      for (int u = 0; u < 4; ++u) {
        const __m512 m = _mm512_min_ps(_mm512_set1_ps(queries[u][d]), t);
        s[u] = _mm512_add_round_ps(s[u], _mm512_mul_round_ps(m, m, kNearest), kNearest);
      }
    }
    for (int u = 0; u < 4; ++u) _mm512_storeu_ps(out + u * stride + j, s[u]);
  }
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

// One list decoded (its points with their centre added back), to be
// estimated against many queries.
class ListScorer {
 public:
  // The n entries of list, from its codes and ids as stored.
  void Decode(const faiss::IndexIVFScalarQuantizer& ivf, faiss::Index::idx_t list, std::size_t n,
              const std::uint8_t* codes, const std::uint8_t* ids) {
    n_ = n;
    ids_.resize(n_);
    if (n_ == 0) return;
    decodePoints(ivf, list, codes, n_, decoded_);
    for (std::size_t j = 0; j < n_; ++j) ids_[j] = idAt(ids, j);
#if defined(__x86_64__)
    level_ = KPX::vectorLevel();
    columnar_ = level_ >= KPX::VectorLevel::Avx2;
    if (!columnar_) return;
    stride_ = (n_ + kColumnStep - 1) / kColumnStep * kColumnStep;
    columns_.assign(kNeighbourPointSize * stride_, 0.0f);
    for (std::size_t j = 0; j < n_; ++j)
      for (std::size_t d = 0; d < kNeighbourPointSize; ++d)
        columns_[d * stride_ + j] = std::max(0.0f, decoded_[j * kNeighbourPointSize + d]);
    decoded_ = std::vector<float>();
#endif
  }

  // Up to four queries at once, each into its shortlist (estimates: room
  // for the kernels' results).
  void Score(const float* const* queries, std::size_t count, Shortlist* const* best,
             std::vector<float>& estimates) const {
    if (n_ == 0 || count == 0) return;
#if defined(__x86_64__)
    if (columnar_) {
      const float* four[4];
      for (std::size_t u = 0; u < 4; ++u) four[u] = queries[std::min(u, count - 1)];
      estimates.resize(4 * stride_);
      if (level_ >= KPX::VectorLevel::Avx512)
        estimateColumnsWide(four, columns_.data(), stride_, estimates.data());
      else
        estimateColumns(four, columns_.data(), stride_, estimates.data());
      for (std::size_t u = 0; u < count; ++u)
        for (std::size_t j = 0; j < n_; ++j) best[u]->Offer(estimates[u * stride_ + j], ids_[j]);
      return;
    }
#endif
    for (std::size_t u = 0; u < count; ++u)
      for (std::size_t j = 0; j < n_; ++j)
        best[u]->Offer(EstimateOfPoints(queries[u], decoded_.data() + j * kNeighbourPointSize),
                       ids_[j]);
  }

 private:
  std::size_t n_ = 0, stride_ = 0;
  bool columnar_ = false;
  KPX::VectorLevel level_ = KPX::VectorLevel::Portable;
  std::vector<float> decoded_, columns_;
  std::vector<std::int64_t> ids_;
};

#if defined(__x86_64__)
constexpr std::size_t kCentreStep = 32;

// The squared L2 distances of a point to the centres laid out value by value
// (columns[d * stride + c]), 32 centres at a time; the differences, products
// and sums are those of the plain loop, in its order.
__attribute__((target("avx2"))) void distancesOfColumns(const float* point, const float* columns,
                                                        std::size_t stride, float* out) {
  for (std::size_t c = 0; c < stride; c += kCentreStep) {
    __m256 s0 = _mm256_setzero_ps(), s1 = s0, s2 = s0, s3 = s0;
    for (std::size_t d = 0; d < kNeighbourPointSize; ++d) {
      const __m256 p = _mm256_set1_ps(point[d]);
      const float* at = columns + d * stride + c;
      const __m256 t0 = _mm256_sub_ps(p, _mm256_loadu_ps(at));
      const __m256 t1 = _mm256_sub_ps(p, _mm256_loadu_ps(at + 8));
      const __m256 t2 = _mm256_sub_ps(p, _mm256_loadu_ps(at + 16));
      const __m256 t3 = _mm256_sub_ps(p, _mm256_loadu_ps(at + 24));
      s0 = _mm256_add_ps(s0, _mm256_mul_ps(t0, t0));
      s1 = _mm256_add_ps(s1, _mm256_mul_ps(t1, t1));
      s2 = _mm256_add_ps(s2, _mm256_mul_ps(t2, t2));
      s3 = _mm256_add_ps(s3, _mm256_mul_ps(t3, t3));
    }
    _mm256_storeu_ps(out + c, s0);
    _mm256_storeu_ps(out + c + 8, s1);
    _mm256_storeu_ps(out + c + 16, s2);
    _mm256_storeu_ps(out + c + 24, s3);
  }
}
#endif

}  // namespace

struct NeighbourIndex::Lists {
  std::unique_ptr<faiss::IndexIVFScalarQuantizer> index;
  // The lists as mapped from the file, and the file itself: a search reads
  // the few lists it probes into memory of its own, since touching pages of
  // the mapping for the first time costs more than copying them (a page
  // fault each, dearer still under virtualisation).
  const faiss::OnDiskInvertedLists* mapped = nullptr;
  int file = -1;
  Lists() = default;
  Lists(const Lists&) = delete;
  Lists& operator=(const Lists&) = delete;
  ~Lists() {
    if (file >= 0) ::close(file);
  }
  // List l's n codes and ids: read into buffer, else where they are mapped.
  void read(std::size_t l, std::size_t n, std::vector<std::uint8_t>& buffer,
            const std::uint8_t*& codes, const std::uint8_t*& ids) const {
    const std::size_t codeSize = index->code_size;
    if (mapped != nullptr && file >= 0 && l < mapped->lists.size()) {
      const faiss::OnDiskOneList& list = mapped->lists[l];
      const std::size_t codeBytes = list.capacity * codeSize;
      const std::size_t bytes = codeBytes + n * sizeof(faiss::Index::idx_t);
      buffer.resize(bytes);
      if (n <= list.capacity &&
          ::pread(file, buffer.data(), bytes, static_cast<off_t>(list.offset)) ==
              static_cast<ssize_t>(bytes)) {
        codes = buffer.data();
        ids = buffer.data() + codeBytes;
        return;
      }
    }
    codes = index->invlists->get_codes(l);
    ids = reinterpret_cast<const std::uint8_t*>(index->invlists->get_ids(l));
  }

  std::vector<float> centres;  // list by list
  std::vector<float> columns;  // value by value, the lists padded to kCentreStep
  std::size_t stride = 0;

  void KeepCentres() {
    const std::size_t n = index->nlist;
    centres.resize(n * kNeighbourPointSize);
    index->quantizer->reconstruct_n(0, static_cast<faiss::Index::idx_t>(n), centres.data());
#if defined(__x86_64__)
    stride = (n + kCentreStep - 1) / kCentreStep * kCentreStep;
    columns.assign(stride * kNeighbourPointSize, 0.0f);
    for (std::size_t c = 0; c < n; ++c)
      for (std::size_t d = 0; d < kNeighbourPointSize; ++d)
        columns[d * stride + c] = centres[c * kNeighbourPointSize + d];
#endif
  }

  // The probes lists whose centres lie nearest point, nearest first (equal
  // distances by list), the same for one query as for many.
  void Probed(const float* point, std::size_t probes, std::vector<float>& distances,
              faiss::Index::idx_t* out) const {
    const std::size_t n = index->nlist;
    probes = std::min(probes, n);
    distances.resize(std::max(n, stride));
#if defined(__x86_64__)
    if (KPX::vectorLevel() >= KPX::VectorLevel::Avx2) {
      distancesOfColumns(point, columns.data(), stride, distances.data());
    } else
#endif
    {
      for (std::size_t c = 0; c < n; ++c) {
        const float* centre = centres.data() + c * kNeighbourPointSize;
        float sum = 0.0f;
        for (std::size_t d = 0; d < kNeighbourPointSize; ++d) {
          const float t = point[d] - centre[d];
          sum += t * t;
        }
        distances[c] = sum;
      }
    }
    std::vector<faiss::Index::idx_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    const auto nearer = [&](faiss::Index::idx_t a, faiss::Index::idx_t b) {
      return distances[a] != distances[b] ? distances[a] < distances[b] : a < b;
    };
    const auto end = order.begin() + static_cast<std::ptrdiff_t>(probes);
    if (probes < n) std::nth_element(order.begin(), end, order.end(), nearer);
    std::sort(order.begin(), end, nearer);
    std::copy(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(probes), out);
  }
};

namespace {

// The default number of lists a search reads.
std::size_t defaultProbes(const faiss::IndexIVFScalarQuantizer& ivf) {
  return std::min<std::size_t>(ivf.nprobe, ivf.nlist);
}

}  // namespace

namespace {

// The relative lists' point: what the robust measure reads that a tone
// curve, a hue turn or a small size leaves nearly as it was, weighted about
// as the measure weighs it. The layout of the cells' brightness, less its
// mean and of unit length, each value split into its positive and negative
// parts so that every coordinate is at least 0, as the estimate of points
// takes them (empty cells, of a picture too small for the grid, left out);
// the relative histogram; the edge profile summed over the colour planes.
// Its squared coordinates sum to 1 at most, as the default point's do.
constexpr std::size_t kLayoutCells = kCompactBlockMeans / 3;
constexpr std::size_t kPlaneBands = kCompactBands / 3;
static_assert(2 * kLayoutCells + kRelativeBins + kPlaneBands == kNeighbourPointSize);
constexpr double kLayoutShare = 0.2, kRelativeShare = 0.35, kEdgeShare = 0.45;

std::vector<float> relativePoint(const CompactSignature& c) {
  std::vector<float> point;
  point.reserve(kNeighbourPointSize);
  double brightness[kLayoutCells] = {}, mean = 0.0;
  bool filled[kLayoutCells] = {};
  std::size_t count = 0;
  for (std::size_t cell = 0; cell < kLayoutCells; ++cell) {
    const float* m = c.blockMeans.data() + 3 * cell;
    filled[cell] = m[0] != 0.0f || m[1] != 0.0f || m[2] != 0.0f;
    brightness[cell] = double{m[0]} + m[1] + m[2];
    mean += filled[cell] ? brightness[cell] : 0.0;
    count += filled[cell];
  }
  mean /= static_cast<double>(std::max<std::size_t>(count, 1));
  double length = 0.0;
  for (std::size_t cell = 0; cell < kLayoutCells; ++cell) {
    brightness[cell] = filled[cell] ? brightness[cell] - mean : 0.0;
    length += brightness[cell] * brightness[cell];
  }
  // A flat picture (under a level's root mean square) has no layout.
  const double scale =
      length >= 9.0 * static_cast<double>(kLayoutCells) ? std::sqrt(kLayoutShare / length) : 0.0;
  for (double v : brightness) {
    point.push_back(static_cast<float>(scale * std::max(0.0, v)));
    point.push_back(static_cast<float>(scale * std::max(0.0, -v)));
  }
  for (float v : c.relative)
    point.push_back(static_cast<float>(std::sqrt(kRelativeShare * std::max(0.0f, v))));
  for (std::size_t band = 0; band < kPlaneBands; ++band) {
    const double v = double{c.edgeProfile[band]} + c.edgeProfile[kPlaneBands + band] +
                     c.edgeProfile[2 * kPlaneBands + band];
    point.push_back(static_cast<float>(std::sqrt(kEdgeShare * std::max(0.0, v))));
  }
  return point;
}

}  // namespace

std::vector<float> NeighbourPoint(const CompactSignature& c, NeighbourPointKind kind) {
  if (kind == NeighbourPointKind::Relative) return relativePoint(c);
  const double colour = PresetColorPercent(kDefaultColorMode) / 100.0;
  const double edgeWeight = std::sqrt(1.0 - colour), colourWeight = std::sqrt(colour);
  std::vector<float> point;
  point.reserve(kNeighbourPointSize);
  for (float v : c.edgeProfile)
    point.push_back(static_cast<float>(edgeWeight * std::sqrt(std::max(0.0f, v))));
  for (float v : c.structure)
    point.push_back(static_cast<float>(colourWeight * std::sqrt(std::max(0.0f, v))));
  return point;
}

NeighbourIndex::NeighbourIndex(NeighbourPointKind kind) : kind_(kind) {}
NeighbourIndex::~NeighbourIndex() = default;

bool NeighbourIndex::Build(const CompactVisit& visit, const std::string& file,
                           const EntryStamp& stamp, const std::string& key, unsigned threads) {
  lists_.reset();
  size_ = 0;
  try {
    // A uniform sample of the entries (a reservoir: their number is not
    // known before they are read), enough for the largest library.
    constexpr std::size_t kReservoir = 160000;
    std::vector<float> sample;
    std::size_t seen = 0;
    std::mt19937_64 random(0x5eed);
    if (!visit([&](std::int64_t, const CompactSignature& c) {
          const std::vector<float> p = NeighbourPoint(c, kind_);
          std::size_t slot = seen++;
          if (slot >= kReservoir) {
            slot = std::uniform_int_distribution<std::size_t>(0, seen - 1)(random);
            if (slot >= kReservoir) return;
          } else {
            sample.resize(sample.size() + kNeighbourPointSize);
          }
          std::copy(p.begin(), p.end(), sample.begin() + slot * kNeighbourPointSize);
        }))
      return false;
    if (seen == 0) return false;
    sortPoints(sample);
    const std::size_t lists = std::clamp<std::size_t>(
        static_cast<std::size_t>(kListsPerRoot * std::sqrt(static_cast<double>(seen))), 1, seen);
    const std::size_t training =
        std::min(sample.size() / kNeighbourPointSize, std::max(lists, kTrainPerList * lists));

    useThreads(threads);
    auto made = std::make_unique<Lists>();
    auto* coarse = new faiss::IndexFlatL2(static_cast<faiss::Index::idx_t>(kNeighbourPointSize));
    made->index = std::make_unique<faiss::IndexIVFScalarQuantizer>(
        coarse, kNeighbourPointSize, lists, faiss::ScalarQuantizer::QT_fp16, faiss::METRIC_L2);
    made->index->own_fields = true;
    made->index->cp.niter = kTrainRounds;
    made->index->cp.min_points_per_centroid = 1;
    made->index->cp.max_points_per_centroid = static_cast<int>(kTrainPerList);
    made->index->train(static_cast<faiss::Index::idx_t>(training), sample.data());
    sample = std::vector<float>();

    std::vector<float> batch;
    std::vector<faiss::Index::idx_t> ids;
    const auto flush = [&] {
      made->index->add_with_ids(static_cast<faiss::Index::idx_t>(ids.size()), batch.data(),
                                ids.data());
      batch.clear();
      ids.clear();
    };
    if (!visit([&](std::int64_t id, const CompactSignature& c) {
          const std::vector<float> p = NeighbourPoint(c, kind_);
          batch.insert(batch.end(), p.begin(), p.end());
          ids.push_back(id);
          if (ids.size() == kAddBatch) flush();
        }))
      return false;
    if (!ids.empty()) flush();
    made->index->nprobe = probesOf(lists);
    made->KeepCentres();
    lists_ = std::move(made);
    size_ = static_cast<std::size_t>(lists_->index->ntotal);
    generation_ = stamp.generation;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const faiss::FaissException&) {
    return false;
  }

  // Of this process alone: two processes may build the same lists at once.
  const std::string temporary = file + ".new-" + std::to_string(::getpid());
  Header h;
  h.epoch = stamp.epoch;
  h.generation = stamp.generation;
  h.count = size_;
  h.keyLength = key.size();
  std::uint32_t crc = 0;
  bool written = false;
  try {
    File out(temporary, "w+b");
    FILE* f = out.get();
    const long start = static_cast<long>(sizeof h + key.size() + sizeof crc);
    if (f != nullptr && std::fseek(f, start, SEEK_SET) == 0) {
      {
        faiss::FileIOWriter writer(f);
        faiss::write_index(lists_->index.get(), &writer);
      }
      const long end = std::ftell(f);
      const std::uint64_t payload =
          static_cast<std::uint64_t>(size_) * (lists_->index->code_size + sizeof(std::int64_t));
      h.faissLength = static_cast<std::uint64_t>(end - start);
      h.checkedLength = h.faissLength - std::min(payload, h.faissLength);
      written = end > start && std::fflush(f) == 0 && checksumOf(f, h, key, crc) &&
                std::fseek(f, 0, SEEK_SET) == 0 && std::fwrite(&h, sizeof h, 1, f) == 1 &&
                std::fwrite(key.data(), 1, key.size(), f) == key.size() &&
                std::fwrite(&crc, sizeof crc, 1, f) == 1 && out.close();
    }
  } catch (const faiss::FaissException&) {
    written = false;
  }
  if (!written || std::rename(temporary.c_str(), file.c_str()) != 0) std::remove(temporary.c_str());
  return true;
}

bool NeighbourIndex::Load(const std::string& file, std::int64_t epoch, const std::string& key) {
  lists_.reset();
  size_ = 0;
  File in(file, "rb");
  FILE* f = in.get();
  Header h;
  std::uint32_t crc = 0, found = 0;
  if (f == nullptr || std::fread(&h, sizeof h, 1, f) != 1 || h.magic != kMagic ||
      h.pointSize != kNeighbourPointSize || h.epoch != epoch || h.keyLength != key.size())
    return false;
  std::string foundKey(key.size(), '\0');
  if (std::fread(foundKey.data(), 1, foundKey.size(), f) != foundKey.size() || foundKey != key ||
      std::fread(&crc, sizeof crc, 1, f) != 1)
    return false;
  const long start = std::ftell(f);
  if (std::fseek(f, 0, SEEK_END) != 0 ||
      static_cast<std::uint64_t>(std::ftell(f) - start) != h.faissLength ||
      h.checkedLength > h.faissLength || !checksumOf(f, h, key, found) || found != crc ||
      std::fseek(f, start, SEEK_SET) != 0)
    return false;
  try {
    faiss::FileIOReader reader(f);
    std::unique_ptr<faiss::Index> read(faiss::read_index(&reader, faiss::IO_FLAG_MMAP));
    auto* ivf = dynamic_cast<faiss::IndexIVFScalarQuantizer*>(read.get());
    if (ivf == nullptr || ivf->d != static_cast<int>(kNeighbourPointSize) ||
        ivf->metric_type != faiss::METRIC_L2 ||
        ivf->ntotal != static_cast<faiss::Index::idx_t>(h.count))
      return false;
    read.release();
    lists_ = std::make_unique<Lists>();
    lists_->index.reset(ivf);
    lists_->mapped = dynamic_cast<const faiss::OnDiskInvertedLists*>(ivf->invlists);
    lists_->file = ::dup(::fileno(f));
    ivf->nprobe = probesOf(ivf->nlist);
    lists_->KeepCentres();
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const faiss::FaissException&) {
    return false;
  }
  generation_ = h.generation;
  size_ = h.count;
  return true;
}

std::size_t NeighbourIndex::probes() const { return lists_ ? defaultProbes(*lists_->index) : 0; }

float EstimateOfPoints(const float* query, const float* target) {
  // A point's coordinate squared is the weighted value it stands for, so
  // the minimum of two squares is the intersection's term; negative
  // coordinates (rounding of the codes) stand for 0.
  float sum = 0.0f;
  for (std::size_t k = 0; k < kNeighbourPointSize; ++k) {
    const float m = std::min(query[k], std::max(0.0f, target[k]));
    sum += m * m;
  }
  return sum;
}

std::vector<std::int64_t> NeighbourIndex::Nearest(const CompactSignature& query, std::size_t k,
                                                  unsigned threads, std::size_t probes) const {
  k = std::min(k, size_);
  if (!lists_ || k == 0) return {};
  const faiss::IndexIVFScalarQuantizer& ivf = *lists_->index;
  const std::vector<float> point = NeighbourPoint(query, kind_);
  probes = std::min<std::size_t>(probes == 0 ? defaultProbes(ivf) : probes, ivf.nlist);
  std::vector<float> coarse;
  std::vector<faiss::Index::idx_t> probed(probes, -1);
  lists_->Probed(point.data(), probes, coarse, probed.data());
  std::vector<std::size_t> offsets(probes + 1, 0);
  for (std::size_t l = 0; l < probes; ++l)
    offsets[l + 1] = offsets[l] + (probed[l] >= 0 ? ivf.invlists->list_size(probed[l]) : 0);

  // Every entry of the probed lists, decoded from its codes and estimated
  // as the default estimate would; the L2 distance the lists were trained
  // on only follows that estimate roughly, and ranks too many near ties
  // wrongly to give the candidates directly.
  std::vector<std::pair<float, std::int64_t>> found(offsets.back());
  KPX::parallelFor(
      probes, KPX::Schedule::dynamic(threads, 4), [&](std::uint64_t begin, std::uint64_t end) {
        std::vector<float> decoded;
        std::vector<std::uint8_t> buffer;
        for (std::uint64_t l = begin; l < end; ++l) {
          const std::size_t n = offsets[l + 1] - offsets[l];
          if (n == 0) continue;
          const std::uint8_t *codes = nullptr, *ids = nullptr;
          lists_->read(static_cast<std::size_t>(probed[l]), n, buffer, codes, ids);
          decodePoints(ivf, probed[l], codes, n, decoded);
          for (std::size_t j = 0; j < n; ++j)
            found[offsets[l] + j] = {
                EstimateOfPoints(point.data(), decoded.data() + j * kNeighbourPointSize),
                idAt(ids, j)};
        }
      });
  // Best first; equal estimates by id, so that the choice does not depend
  // on the threads.
  const auto better = [](const std::pair<float, std::int64_t>& a,
                         const std::pair<float, std::int64_t>& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  };
  k = std::min(k, found.size());
  std::partial_sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(k), found.end(),
                    better);
  std::vector<std::int64_t> out(k);
  for (std::size_t i = 0; i < k; ++i) out[i] = found[i].second;
  return out;
}

std::vector<std::vector<std::int64_t>> NeighbourIndex::NearestOfEach(
    const std::vector<CompactSignature>& queries, std::size_t k, unsigned threads,
    std::size_t probes) const {
  const std::size_t n = queries.size();
  std::vector<std::vector<std::int64_t>> out(n);
  k = std::min(k, size_);
  if (!lists_ || n == 0 || k == 0) return out;
  const faiss::IndexIVFScalarQuantizer& ivf = *lists_->index;
  probes = std::min<std::size_t>(probes == 0 ? defaultProbes(ivf) : probes, ivf.nlist);
  std::vector<float> points(n * kNeighbourPointSize);
  std::vector<faiss::Index::idx_t> probed(n * probes, -1);
  KPX::parallelFor(n, KPX::Schedule::dynamic(threads, 64),
                   [&](std::uint64_t begin, std::uint64_t end) {
                     std::vector<float> coarse;
                     for (std::uint64_t i = begin; i < end; ++i) {
                       const std::vector<float> p = NeighbourPoint(queries[i], kind_);
                       std::copy(p.begin(), p.end(), points.begin() + i * kNeighbourPointSize);
                       lists_->Probed(p.data(), probes, coarse, probed.data() + i * probes);
                     }
                   });
  // Every list probed decoded once (some 300 bytes per entry), then the
  // queries whose nearest list is the same, which probe mostly the same
  // lists, taken together.
  std::vector<char> wanted(ivf.nlist, 0);
  for (const faiss::Index::idx_t list : probed)
    if (list >= 0) wanted[static_cast<std::size_t>(list)] = 1;
  std::vector<ListScorer> decoded(ivf.nlist);
  KPX::parallelFor(ivf.nlist, KPX::Schedule::dynamic(threads, 16),
                   [&](std::uint64_t begin, std::uint64_t end) {
                     std::vector<std::uint8_t> buffer;
                     for (std::uint64_t l = begin; l < end; ++l) {
                       if (!wanted[l]) continue;
                       const auto list = static_cast<faiss::Index::idx_t>(l);
                       const std::size_t size = ivf.invlists->list_size(list);
                       const std::uint8_t *codes = nullptr, *ids = nullptr;
                       if (size > 0) lists_->read(l, size, buffer, codes, ids);
                       decoded[l].Decode(ivf, list, size, codes, ids);
                     }
                   });
  std::vector<std::uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return probed[a * probes] != probed[b * probes] ? probed[a * probes] < probed[b * probes]
                                                    : a < b;
  });
  constexpr std::size_t kBlock = 256;
  std::vector<std::size_t> blocks{0};
  for (std::size_t i = 1; i <= n; ++i)
    if (i == n || i - blocks.back() == kBlock ||
        probed[order[i] * probes] != probed[order[i - 1] * probes])
      blocks.push_back(i);
  KPX::parallelFor(blocks.size() - 1, KPX::Schedule::dynamic(threads, 1),
                   [&](std::uint64_t first, std::uint64_t last) {
                     std::vector<float> estimates;
                     std::vector<std::pair<faiss::Index::idx_t, std::uint32_t>> visits;
                     std::vector<Shortlist> best;
                     for (std::uint64_t b = first; b < last; ++b) {
                       const std::size_t from = blocks[b], count = blocks[b + 1] - from;
                       visits.clear();
                       for (std::size_t q = 0; q < count; ++q)
                         for (std::size_t l = 0; l < probes; ++l) {
                           const faiss::Index::idx_t list = probed[order[from + q] * probes + l];
                           if (list >= 0) visits.emplace_back(list, static_cast<std::uint32_t>(q));
                         }
                       std::sort(visits.begin(), visits.end());
                       best.assign(count, Shortlist(k));
                       for (std::size_t v = 0; v < visits.size();) {
                         const faiss::Index::idx_t list = visits[v].first;
                         const ListScorer& scorer = decoded[static_cast<std::size_t>(list)];
                         while (v < visits.size() && visits[v].first == list) {
                           const float* four[4];
                           Shortlist* into[4];
                           std::size_t taken = 0;
                           for (; taken < 4 && v < visits.size() && visits[v].first == list;
                                ++taken, ++v) {
                             const std::uint32_t q = visits[v].second;
                             four[taken] = points.data() + order[from + q] * kNeighbourPointSize;
                             into[taken] = &best[q];
                           }
                           scorer.Score(four, taken, into, estimates);
                         }
                       }
                       for (std::size_t q = 0; q < count; ++q) out[order[from + q]] = best[q].Ids();
                     }
                   });
  return out;
}
