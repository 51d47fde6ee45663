#include "shell/sort_facts.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <memory>
#include <utility>

#include "imageio/image_metadata.h"
#include "numeric/parallel.h"

namespace {

struct FileStamp {
  std::int64_t size = -1;  // -1: the file cannot be read
  std::int64_t modified = 0;
};

// Size and modification time (YYYYMMDDhhmmss, local time) of a file.
FileStamp stampOf(const std::string& path) {
  FileStamp stamp;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return stamp;
  stamp.size = static_cast<std::int64_t>(info.st_size);
  std::tm local{};
  if (localtime_r(&info.st_mtime, &local) == nullptr) return stamp;
  stamp.modified =
      (((((local.tm_year + 1900LL) * 100 + local.tm_mon + 1) * 100 + local.tm_mday) * 100 +
        local.tm_hour) *
           100 +
       local.tm_min) *
          100 +
      local.tm_sec;
  return stamp;
}

}  // namespace

CSortFacts::CSortFacts(QObject* parent) : QObject(parent) {
  connect(&runner_, &CJobRunner::progress, this,
          [this](int done, int total, const QString&) { emit progress(done, total); });
}

CSortFacts::~CSortFacts() { runner_.abandon(); }

std::vector<SortFacts> CSortFacts::Known(const std::vector<std::string>& paths, bool withDates,
                                         std::vector<std::string>* missing) {
  std::vector<SortFacts> facts(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const FileStamp stamp = stampOf(paths[i]);
    facts[i].size = std::max<std::int64_t>(stamp.size, 0);
    facts[i].modified = stamp.modified;
    if (!withDates) continue;
    const auto known = dates_.find(paths[i]);
    if (known != dates_.end() && known->second.size == stamp.size &&
        known->second.modified == stamp.modified) {
      facts[i].dateTaken = known->second.dateTaken;
    } else if (missing != nullptr) {
      missing->push_back(paths[i]);
    }
  }
  return facts;
}

void CSortFacts::Gather(std::vector<std::string> paths) {
  runner_.abandon();
  auto read = std::make_shared<std::vector<Dated>>(paths.size());
  auto files = std::make_shared<const std::vector<std::string>>(std::move(paths));
  auto work = [files, read](const CJobRunner::Control& control) {
    const auto total = static_cast<int>(files->size());
    std::atomic<int> done{0};
    // Files cost what their metadata costs to find: taken one by one.
    const KPX::Schedule schedule =
        KPX::Schedule::dynamic(KPX::threadCount(), 1).until(control.cancelFlag());
    KPX::parallelFor(files->size(), schedule, [&](std::uint64_t begin, std::uint64_t end) {
      for (std::uint64_t i = begin; i < end; ++i) {
        const std::string& path = (*files)[i];
        // The stamp first: a file changed while it is read is read again later.
        const FileStamp stamp = stampOf(path);
        (*read)[i] = {stamp.size, stamp.modified, ReadDateTaken(path)};
        const int now = done.fetch_add(1) + 1;
        if (now % 16 == 0 || now == total) control.report(now, total, QString());
      }
    });
  };
  runner_.start(std::move(work), this, [this, files, read](bool cancelled) {
    if (cancelled) return;
    for (std::size_t i = 0; i < files->size(); ++i) dates_[(*files)[i]] = (*read)[i];
    emit gathered();
  });
}

void CSortFacts::Cancel() { runner_.abandon(); }
