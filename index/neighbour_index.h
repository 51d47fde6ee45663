// The nearest neighbours of compact descriptors, for a first stage that
// does not estimate every entry of a large library: an inverted-file index
// (FAISS's IVF, each point's offset from its list's centre kept as 16-bit
// floats) over one point per entry, built from the entries of one parameter
// set and learning flag and kept in a file beside the index. A search maps
// the file and reads only the lists it probes, so it costs in proportion to
// what it looks at, not to the library.
//
// A point holds what the default estimate reads: the square roots of the
// edge profile and of the colour structure histogram (both sum to 1),
// weighted 1 - w and w (w the default colour weight). Lists of the other
// kind hold what a tone curve, a hue turn or a small size leaves nearly as
// it was: the layout of the cells' brightness, the relative histogram and
// the edge profile summed over the colour planes, so that a search by the
// robust measure also finds the copies of a picture whose tones or colours
// were changed, which the colour structure puts far away. The squared L2
// distance between two points tracks the estimate roughly, which is good
// enough to group the entries into lists and pick the lists to read; the
// entries of those lists are then ordered by the default estimate itself,
// computed from their decoded points (the sum of the smaller squares). The
// offsets are kept as 16-bit floats rather than bytes because near
// duplicates differ in the estimate by less than 8-bit codes of the larger
// values resolve. Other modes and weights are served all the same: the
// caller takes more neighbours than it keeps and orders them by its own
// estimate, read from the index.
//
// The file names the index it was built from (a random epoch the index drew
// when it was made, and the generation of its entries then) and a key (the
// parameter set and learning flag). A CRC covers the header and FAISS's
// structure; the lists' codes and row ids are not read whole by a search,
// so they are not checked: a damaged one offers wrong candidates, which the
// caller re-estimates from the index and so never ranks wrongly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "index/compact.h"

// The state of the entries of an index: a random number the index drew
// when it was made, and a counter it raises with every change of an entry.
struct EntryStamp {
  std::int64_t epoch = 0;
  std::int64_t generation = 0;
};

// Calls its argument with every (row id, descriptor) of the entries, in any
// order; false when they cannot be read.
using CompactVisit =
    std::function<bool(const std::function<void(std::int64_t, const CompactSignature&)>&)>;

// What the points of a set of lists hold: what the default estimate reads,
// or what the robust measure reads that edits of tones and colours keep.
enum class NeighbourPointKind { Default, Relative };

class NeighbourIndex {
 public:
  explicit NeighbourIndex(NeighbourPointKind kind = NeighbourPointKind::Default);
  ~NeighbourIndex();
  NeighbourIndex(const NeighbourIndex&) = delete;
  NeighbourIndex& operator=(const NeighbourIndex&) = delete;

  // Builds from the entries visit offers (read twice: a sample trains the
  // lists, then every entry is added) and writes the file, through a
  // temporary one renamed over it so that a reader never sees half of it.
  // The stamp is the state of the entries before they were read. False when
  // the entries cannot be read or memory runs out; a file that cannot be
  // written leaves the built index usable all the same.
  bool Build(const CompactVisit& visit, const std::string& file, const EntryStamp& stamp,
             const std::string& key, unsigned threads);
  // Maps the file. False, leaving nothing loaded, when it is missing,
  // damaged, foreign, of another epoch or key.
  bool Load(const std::string& file, std::int64_t epoch, const std::string& key);

  NeighbourPointKind kind() const { return kind_; }
  // The generation of the entries the lists hold, and how many they hold.
  std::int64_t generation() const { return generation_; }
  std::size_t size() const { return size_; }
  // How many lists a search reads unless told otherwise (0 when none are
  // loaded).
  std::size_t probes() const;
  // The row ids of the k entries of the lists probed whose default estimate,
  // read from their codes, is highest, best first (fewer when the lists
  // probed hold fewer); the lists are scanned on threads threads. probes,
  // when not 0, reads that many lists instead of the usual share.
  std::vector<std::int64_t> Nearest(const CompactSignature& query, std::size_t k,
                                    unsigned threads = 1, std::size_t probes = 0) const;
  // For every descriptor in turn, what Nearest gives it, searched on
  // threads threads: the queries that probe the same lists are taken
  // together, so that each list is decoded once for all of them. probes,
  // when not 0, reads that many lists per query instead of the usual share.
  std::vector<std::vector<std::int64_t>> NearestOfEach(const std::vector<CompactSignature>& queries,
                                                       std::size_t k, unsigned threads,
                                                       std::size_t probes = 0) const;

 private:
  struct Lists;
  NeighbourPointKind kind_;
  std::unique_ptr<Lists> lists_;
  std::int64_t generation_ = 0;
  std::size_t size_ = 0;
};

inline constexpr std::size_t kNeighbourPointSize = kCompactBands + kCompactStructure;

// The point of a descriptor (exposed for the tests). A descriptor without a
// relative histogram has 0 in its place.
std::vector<float> NeighbourPoint(const CompactSignature& compact,
                                  NeighbourPointKind kind = NeighbourPointKind::Default);
// The default estimate of two descriptors from their points (exposed for
// the tests).
float EstimateOfPoints(const float* query, const float* target);
