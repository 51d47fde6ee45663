// The signature index at library scale: a synthetic index of real
// signatures, perturbed, ranked in two stages; and the costs behind it.
//
//   bench_index                             the benchmarks (the build
//                                           throughput ones make their
//                                           pictures in bench-build/)
//   bench_index --make-index FILE DIR N SRC build a synthetic index of N
//                                           entries under DIR from the
//                                           signatures of the pictures in SRC
//   bench_index --agreement FILE DIR Q SRC [robust]
//                                           the top 10 of Q queries from the
//                                           neighbour lists against the
//                                           exhaustive first stage, for the
//                                           default measure or the robust
//                                           one; and when SRC is indexed
//                                           under DIR, whether the lists'
//                                           top 10 holds every picture of
//                                           SRC the exhaustive one holds
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <sqlite3.h>
#include <QImage>

#include <chrono>
#include <map>

#include "imageio/signature_source.h"
#include "index/ranking.h"
#include "index/refresh.h"
#include "index/signature_blob.h"
#include "index/signature_index.h"
#include "numeric/parallel.h"
#include "numeric/trace.h"
#include "retrieval/color_mode.h"

namespace {

// Bases moved by a few quantisation levels, colour features by a few per
// cent: entries that resemble their source without equalling it.
Signature perturbed(const Signature& source, std::mt19937& random) {
  Signature s = source;
  std::uniform_int_distribution<int> step(-3, 3);
  for (std::uint32_t k = 0; k < s.bases.count(); ++k)
    s.bases.data()[k] = std::clamp(s.bases.data()[k] + step(random), -63.0, 63.0);
  ComputeBaseNorms(s);
  std::uniform_real_distribution<double> factor(0.9, 1.1);
  double total = 0.0;
  for (std::uint32_t k = 0; k < s.structure.count(); ++k) total += s.structure[k] *= factor(random);
  for (std::uint32_t k = 0; k < s.structure.count() && total > 0.0; ++k) s.structure[k] /= total;
  total = 0.0;
  for (std::uint32_t k = 0; k < s.relativeHistogram.count(); ++k)
    total += s.relativeHistogram[k] *= factor(random);
  for (std::uint32_t k = 0; k < s.relativeHistogram.count() && total > 0.0; ++k)
    s.relativeHistogram[k] /= total;
  for (std::uint32_t k = 0; k < s.histogram.count(); ++k)
    s.histogram[k] = std::trunc(s.histogram[k] * factor(random));
  for (std::uint32_t k = 0; k < s.blockMeans.count(); ++k) s.blockMeans.data()[k] *= factor(random);
  return s;
}

std::vector<Signature> sourceSignatures(const std::string& folder) {
  const SignatureParameters parameters = currentSignatureParameters();
  std::vector<Signature> out;
  TraceTarget quiet(nullptr);
  for (const std::string& path : listIndexablePictures(folder, false)) {
    Signature s;
    if (FileSignature(path, parameters, s) == status::Success) out.push_back(std::move(s));
  }
  return out;
}

// A few thousand distinct whole signatures, written once each as a blob,
// are shared by the entries; every entry has a compact descriptor of its own
// (its blob's, each value moved by up to 2 %, as a near copy of the blob's
// picture would be), so that the first stage sees N distinct points while
// the index is written at disk speed.
constexpr std::size_t kDistinctBlobs = 2000;

CompactSignature jittered(CompactSignature c, std::mt19937& random) {
  std::uniform_real_distribution<float> factor(0.98f, 1.02f);
  const auto move = [&](auto& values, bool keepSum) {
    float before = 0.0f, after = 0.0f;
    for (float& v : values) {
      before += v;
      v *= factor(random);
      after += v;
    }
    if (keepSum && after > 0.0f)
      for (float& v : values) v *= before / after;
  };
  move(c.blockMeans, false);
  move(c.histogram, false);
  move(c.structure, true);
  move(c.edgeProfile, true);
  move(c.relative, true);
  return c;
}

bool makeIndex(const std::string& file, const std::string& dir, std::size_t n,
               const std::vector<Signature>& sources, const std::string& params) {
  {
    SignatureIndex index;  // makes the schema
    std::string notice, error;
    if (sources.empty() || !index.Open(file, notice, error)) return false;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) return false;
  sqlite3_exec(db, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
  sqlite3_stmt* entry = nullptr;
  sqlite3_stmt* blob = nullptr;
  sqlite3_prepare_v2(db,
                     "INSERT INTO entries (path, params, size, mtime, status, learning, compact)"
                     " VALUES (?1, ?2, 1000, 1000, 0, ?3, ?4)",
                     -1, &entry, nullptr);
  sqlite3_prepare_v2(db, "INSERT INTO signatures (id, data) VALUES (?1, ?2)", -1, &blob, nullptr);
  std::mt19937 random(42);
  std::vector<Signature> distinct;
  std::vector<std::vector<std::uint8_t>> blobs;
  std::vector<CompactSignature> compacts;
  for (std::size_t k = 0; k < std::min(n, kDistinctBlobs); ++k) {
    distinct.push_back(perturbed(sources[k % sources.size()], random));
    blobs.push_back(EncodeSignature(distinct.back()));
    compacts.push_back(MakeCompact(distinct.back()));
  }
  bool ok = entry != nullptr && blob != nullptr;
  for (std::size_t i = 0; ok && i < n; i += 10000) {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (std::size_t k = i; ok && k < std::min(n, i + 10000); ++k) {
      const std::size_t d = k % distinct.size();
      char name[64];
      std::snprintf(name, sizeof name, "/%07zu.jpg", k);
      const std::string path = dir + name;
      const std::vector<std::uint8_t> compact = EncodeCompact(jittered(compacts[d], random));
      sqlite3_reset(entry);
      sqlite3_bind_blob(entry, 1, path.data(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
      sqlite3_bind_text(entry, 2, params.data(), static_cast<int>(params.size()), SQLITE_TRANSIENT);
      sqlite3_bind_int(entry, 3, distinct[d].learningMethod);
      sqlite3_bind_blob(entry, 4, compact.data(), static_cast<int>(compact.size()),
                        SQLITE_TRANSIENT);
      ok = sqlite3_step(entry) == SQLITE_DONE;
      sqlite3_reset(blob);
      sqlite3_bind_int64(blob, 1, sqlite3_last_insert_rowid(db));
      sqlite3_bind_blob(blob, 2, blobs[d].data(), static_cast<int>(blobs[d].size()), SQLITE_STATIC);
      ok = ok && sqlite3_step(blob) == SQLITE_DONE;
    }
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  }
  sqlite3_finalize(entry);
  sqlite3_finalize(blob);
  sqlite3_close(db);
  return ok;
}

const std::string& examples() {
  static const std::string dir = FOLIM_EXAMPLES_DIR;
  return dir;
}

// One synthetic index per size, made on first use in the build folder.
std::string indexOf(std::size_t n) {
  static const std::vector<Signature> sources = sourceSignatures(examples());
  const std::string file = "bench-index-" + std::to_string(n) + ".sqlite";
  if (!std::filesystem::exists(file))
    makeIndex(file, "/synthetic", n, sources, signatureParametersKey(currentSignatureParameters()));
  return file;
}

void BM_IndexedSearch(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const std::string file = indexOf(n);
  IndexedQuery q;
  {
    TraceTarget quiet(nullptr);
    if (FileSignature(examples() + "/aqua.jpg", currentSignatureParameters(), q.query) !=
        status::Success) {
      state.SkipWithError("the query cannot be read");
      return;
    }
  }
  q.threads = 2;
  const std::string params = signatureParametersKey(currentSignatureParameters());
  for (auto _ : state) {
    SignatureIndex index;
    std::string notice, error;
    index.Open(file, notice, error);
    std::vector<ImageEntry> ranking;
    std::vector<std::int64_t> damaged;
    RankIndexed(index, "/synthetic", false, params, q, ranking, damaged, error);
    benchmark::DoNotOptimize(ranking.data());
    state.counters["entries"] = static_cast<double>(n);
  }
  state.counters["bytes_per_entry"] =
      static_cast<double>(std::filesystem::file_size(file)) / static_cast<double>(n);
}
BENCHMARK(BM_IndexedSearch)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Learning one ordinary picture's signature, at full size and reduced.
void BM_LearnSignature(benchmark::State& state) {
  SignatureParameters p = currentSignatureParameters();
  p.maxSide = static_cast<std::uint32_t>(state.range(0));
  const std::string path = examples() + "/storm.jpg";
  TraceTarget quiet(nullptr);
  for (auto _ : state) {
    Signature s;
    benchmark::DoNotOptimize(FileSignature(path, p, s));
  }
}
BENCHMARK(BM_LearnSignature)->Arg(0)->Arg(256)->Unit(benchmark::kMillisecond);

// The two stages' cost per candidate under each measure (the argument: 0
// block, 1 histogram, 2 colour structure, 3 robust).
void BM_CompactEstimate(benchmark::State& state) {
  const std::vector<Signature> sources = sourceSignatures(examples());
  const CompactSignature a = MakeCompact(sources[0]), b = MakeCompact(sources[1]);
  const auto mode = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(EstimateScore(a, b, mode, 0.7));
}
BENCHMARK(BM_CompactEstimate)->DenseRange(0, 3);

void BM_ExactScore(benchmark::State& state) {
  const std::vector<Signature> sources = sourceSignatures(examples());
  for (auto _ : state) {
    ImageEntry e;
    ScoreSignature(sources[0], sources[1], static_cast<std::int32_t>(state.range(0)), 0.7, e);
    benchmark::DoNotOptimize(e.score);
  }
}
BENCHMARK(BM_ExactScore)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// Index build throughput: a fresh index of a folder of pictures on 1 and 2
// workers. Each picture's own loops run on one thread, so that the workers
// alone share the cores and the two runs compare fairly.

// The photographs of the examples, or of the folder FOLIM_BENCH_PICTURES.
const std::string& corpusFolder() {
  static const std::string dir = [] {
    const char* chosen = std::getenv("FOLIM_BENCH_PICTURES");
    return chosen != nullptr && *chosen != '\0' ? std::string(chosen) : examples();
  }();
  return dir;
}

// copies pictures in folder (named .extension, or as their source for
// ""), made from the sources by make (false when a
// picture cannot be made), named so that every one is indexed anew.
std::vector<std::string> pictureSet(
    const std::string& folder, const std::vector<std::string>& sources, std::size_t copies,
    const std::string& extension,
    const std::function<bool(const std::string&, const std::string&)>& make) {
  std::filesystem::create_directories(folder);
  std::vector<std::string> made;
  for (std::size_t k = 0; k < copies && !sources.empty(); ++k) {
    const std::string& source = sources[k % sources.size()];
    const std::filesystem::path name = std::filesystem::path(source).filename();
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%03zu_", k);
    const std::string target = folder + "/" + prefix + name.stem().string() +
                               (extension.empty() ? name.extension().string() : extension);
    if (std::filesystem::exists(target) || make(source, target)) made.push_back(target);
  }
  return made;
}

// The corpus photographs as they are, several times over.
const std::vector<std::string>& corpusPictures() {
  static const std::vector<std::string> files = [] {
    return pictureSet("bench-build/corpus", listIndexablePictures(corpusFolder(), false), 96, "",
                      [](const std::string& from, const std::string& to) {
                        std::error_code ec;
                        return std::filesystem::copy_file(from, to, ec);
                      });
  }();
  return files;
}

// 12-megapixel photographs (4000 x 3000, JPEG quality 92), enlarged from the
// desktop backgrounds of the system when there are any, else from the corpus.
const std::vector<std::string>& largePictures() {
  static const std::vector<std::string> files = [] {
    std::vector<std::string> sources;
    const std::string backgrounds = "/usr/share/backgrounds/mate/nature";
    if (std::filesystem::exists(backgrounds)) sources = listIndexablePictures(backgrounds, false);
    if (sources.empty()) sources = listIndexablePictures(corpusFolder(), false);
    return pictureSet("bench-build/12mp", sources, 16, ".jpg",
                      [](const std::string& from, const std::string& to) {
                        const QImage image(QString::fromStdString(from));
                        if (image.isNull()) return false;
                        return image
                            .scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .save(QString::fromStdString(to), "JPEG", 92);
                      });
  }();
  return files;
}

// Pictures per second of each (set, workers), for the scaling printed at the end.
std::map<std::pair<std::string, int>, double>& buildRates() {
  static std::map<std::pair<std::string, int>, double> rates;
  return rates;
}

void buildIndex(benchmark::State& state, const std::string& name,
                const std::vector<std::string>& files) {
  const unsigned jobs = static_cast<unsigned>(state.range(0));
  if (files.empty()) {
    state.SkipWithError("no pictures");
    return;
  }
  const std::uint32_t innerThreads = KPX::threadCount();
  KPX::setThreadCount(1);
  const SignatureParameters parameters = currentSignatureParameters();
  RefreshRequest request;
  request.dir = std::filesystem::absolute(std::filesystem::path(files[0]).parent_path()).string();
  for (const std::string& f : files)
    request.files.push_back(request.dir + "/" + std::filesystem::path(f).filename().string());
  request.params = signatureParametersKey(parameters);
  request.jobs = jobs;
  const SignatureSource source = [&parameters](const std::string& path, Signature& signature,
                                               std::string& cause) {
    return FileSignature(path, parameters, signature, &cause);
  };
  const std::string file = "bench-build/" + name + ".sqlite";
  TraceTarget quiet(nullptr);
  double seconds = 0.0;
  std::size_t done = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file + suffix);
    SignatureIndex index;
    std::string notice, error;
    index.Open(file, notice, error);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    RefreshCounts counts;
    if (!RefreshFolder(index, request, source, {}, counts, error) || counts.failed > 0)
      state.SkipWithError("the build failed");
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done += counts.added;
  }
  KPX::setThreadCount(innerThreads);
  state.SetItemsProcessed(static_cast<std::int64_t>(done));
  if (seconds > 0.0)
    buildRates()[{name, static_cast<int>(jobs)}] = static_cast<double>(done) / seconds;
}

void BM_IndexBuildCorpus(benchmark::State& state) { buildIndex(state, "corpus", corpusPictures()); }
BENCHMARK(BM_IndexBuildCorpus)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kSecond);

void BM_IndexBuild12MP(benchmark::State& state) { buildIndex(state, "12mp", largePictures()); }
BENCHMARK(BM_IndexBuild12MP)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kSecond);

void printBuildScaling() {
  for (const char* name : {"corpus", "12mp"}) {
    const auto& rates = buildRates();
    const auto one = rates.find({name, 1}), two = rates.find({name, 2});
    if (one == rates.end() || two == rates.end()) continue;
    std::printf("index build, %s: %.2f pictures/s on 1 worker, %.2f on 2: %.2fx\n", name,
                one->second, two->second, two->second / one->second);
  }
}

// The top 10 of rankings whose shortlist comes from the neighbour lists
// against those whose first stage estimates every entry (the entries' rows
// read once here, as that stage reads them): queries are the sources
// themselves (real photographs), then perturbed copies of them. Entries
// share whole signatures (see makeIndex), so exact scores tie: the top 10
// agree when their scores do, place by place.
int agreement(const std::string& file, const std::string& dir, std::size_t queries,
              const std::string& sourceDir, bool robust) {
  const std::vector<Signature> sources = sourceSignatures(sourceDir);
  const std::string sourcePrefix = std::filesystem::absolute(sourceDir).string() + "/";
  const auto fromSources = [&sourcePrefix](const std::string& path) {
    return path.compare(0, sourcePrefix.size(), sourcePrefix) == 0;
  };
  SignatureIndex index;
  std::string notice, error;
  if (sources.empty() || !index.Open(file, notice, error)) return 1;
  const std::string params = signatureParametersKey(currentSignatureParameters());
  std::vector<CompactRow> rows;
  std::vector<std::int64_t> damaged;
  if (!index.LoadCompact(dir, params, sources[0].learningMethod, rows, damaged)) return 1;
  std::mt19937 random(1234);
  std::size_t agreeing = 0, holding = 0;
  for (std::size_t k = 0; k < queries; ++k) {
    const Signature query =
        k < sources.size() ? sources[k] : perturbed(sources[k % sources.size()], random);
    IndexedQuery q;
    q.query = query;
    q.threads = 2;
    if (robust) {
      q.colorMode = kRobustColorMode;
      q.colorWeight = PresetColorPercent(ColorMode::Robust) / 100.0;
    }
    std::vector<ImageEntry> ranking;
    // Every entry under DIR, as the rows read above.
    if (!RankIndexed(index, dir, true, params, q, ranking, damaged, error)) return 1;
    // Today's first stage: every entry estimated, the shortlist scored.
    const CompactSignature c = MakeCompact(query);
    std::vector<std::pair<double, std::size_t>> estimates(rows.size());
    KPX::parallelFor(
        rows.size(), KPX::Schedule::dynamic(2, 4096), [&](std::uint64_t begin, std::uint64_t end) {
          for (std::uint64_t i = begin; i < end; ++i)
            estimates[i] = {-EstimateScore(c, rows[i].compact, q.colorMode, q.colorWeight), i};
        });
    const std::size_t shortlist = std::min(q.shortlist, rows.size());
    std::partial_sort(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(shortlist),
                      estimates.end());
    std::vector<std::pair<double, std::string>> exact;
    for (std::size_t i = 0; i < shortlist; ++i) {
      Signature target;
      const CompactRow& row = rows[estimates[i].second];
      if (!index.LoadSignature(row.id, target)) continue;
      ImageEntry e;
      ScoreSignature(query, target, q.colorMode, q.colorWeight, e);
      exact.emplace_back(e.score, row.path);
    }
    std::sort(exact.rbegin(), exact.rend());
    bool same = ranking.size() >= 10 && exact.size() >= 10;
    for (std::size_t i = 0; same && i < 10; ++i) same = ranking[i].score == exact[i].first;
    agreeing += same ? 1 : 0;
    // The pictures of SRC among the exhaustive top 10, all in the lists' top 10.
    bool found = true;
    for (std::size_t i = 0; i < std::min<std::size_t>(10, exact.size()); ++i)
      found =
          found && (!fromSources(exact[i].second) ||
                    std::any_of(ranking.begin(),
                                ranking.begin() + std::min<std::ptrdiff_t>(10, ranking.size()),
                                [&](const ImageEntry& e) { return e.path == exact[i].second; }));
    holding += found ? 1 : 0;
    if (!same)
      std::printf("query %zu differs: 10th %.6f against %.6f\n", k,
                  ranking.size() >= 10 ? ranking[9].score : -1.0,
                  exact.size() >= 10 ? exact[9].first : -1.0);
  }
  std::printf("top 10 equal for %zu of %zu queries over %zu entries\n", agreeing, queries,
              rows.size());
  std::printf("top 10 holding every picture of SRC the exhaustive top 10 holds: %zu of %zu\n",
              holding, queries);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--make-index") == 0) {
    const bool ok = makeIndex(argv[2], argv[3], std::stoul(argv[4]), sourceSignatures(argv[5]),
                              signatureParametersKey(currentSignatureParameters()));
    return ok ? 0 : 1;
  }
  if ((argc == 6 || (argc == 7 && std::strcmp(argv[6], "robust") == 0)) &&
      std::strcmp(argv[1], "--agreement") == 0)
    return agreement(argv[2], argv[3], std::stoul(argv[4]), argv[5], argc == 7);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  printBuildScaling();
  benchmark::Shutdown();
  return 0;
}
