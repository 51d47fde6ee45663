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

void useThreads(unsigned threads) { omp_set_num_threads(static_cast<int>(std::max(1u, threads))); }

std::size_t probesOf(std::size_t lists) {
  return std::min(lists, std::max(kMinProbes, lists / kProbeShare));
}

std::vector<std::int64_t> labelsOf(const std::vector<faiss::Index::idx_t>& labels, std::size_t from,
                                   std::size_t k) {
  std::vector<std::int64_t> out;
  out.reserve(k);
  for (std::size_t j = from; j < from + k; ++j)
    if (labels[j] >= 0) out.push_back(labels[j]);
  return out;
}

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
};

std::vector<float> NeighbourPoint(const CompactSignature& c) {
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

NeighbourIndex::NeighbourIndex() = default;
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
          const std::vector<float> p = NeighbourPoint(c);
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
          const std::vector<float> p = NeighbourPoint(c);
          batch.insert(batch.end(), p.begin(), p.end());
          ids.push_back(id);
          if (ids.size() == kAddBatch) flush();
        }))
      return false;
    if (!ids.empty()) flush();
    made->index->nprobe = probesOf(lists);
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
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const faiss::FaissException&) {
    return false;
  }
  generation_ = h.generation;
  size_ = h.count;
  return true;
}

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
                                                  unsigned threads) const {
  k = std::min(k, size_);
  if (!lists_ || k == 0) return {};
  const faiss::IndexIVFScalarQuantizer& ivf = *lists_->index;
  const std::vector<float> point = NeighbourPoint(query);
  const std::size_t probes = std::min<std::size_t>(ivf.nprobe, ivf.nlist);
  std::vector<float> coarse(probes);
  std::vector<faiss::Index::idx_t> probed(probes, -1);
  ivf.quantizer->search(1, point.data(), static_cast<faiss::Index::idx_t>(probes), coarse.data(),
                        probed.data());
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
        std::vector<float> decoded, centroid(kNeighbourPointSize, 0.0f);
        std::vector<std::uint8_t> buffer;
        for (std::uint64_t l = begin; l < end; ++l) {
          const std::size_t n = offsets[l + 1] - offsets[l];
          if (n == 0) continue;
          const std::uint8_t *codes = nullptr, *ids = nullptr;
          lists_->read(static_cast<std::size_t>(probed[l]), n, buffer, codes, ids);
          decoded.resize(n * kNeighbourPointSize);
          decodeHalves(ivf, codes, decoded.data(), n);
          if (ivf.by_residual) ivf.quantizer->reconstruct(probed[l], centroid.data());
          for (std::size_t j = 0; j < n; ++j) {
            float* target = decoded.data() + j * kNeighbourPointSize;
            for (std::size_t d = 0; d < kNeighbourPointSize; ++d) target[d] += centroid[d];
            found[offsets[l] + j] = {EstimateOfPoints(point.data(), target), idAt(ids, j)};
          }
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
    const std::vector<CompactSignature>& queries, std::size_t k, unsigned threads) const {
  const std::size_t n = queries.size();
  std::vector<std::vector<std::int64_t>> out(n);
  k = std::min(k, size_);
  if (!lists_ || n == 0 || k == 0) return out;
  std::vector<float> points;
  points.reserve(n * kNeighbourPointSize);
  for (const CompactSignature& q : queries) {
    const std::vector<float> p = NeighbourPoint(q);
    points.insert(points.end(), p.begin(), p.end());
  }
  std::vector<float> distances(n * k);
  std::vector<faiss::Index::idx_t> labels(n * k, -1);
  useThreads(threads);
  lists_->index->search(static_cast<faiss::Index::idx_t>(n), points.data(),
                        static_cast<faiss::Index::idx_t>(k), distances.data(), labels.data());
  for (std::size_t i = 0; i < n; ++i) out[i] = labelsOf(labels, i * k, k);
  return out;
}
