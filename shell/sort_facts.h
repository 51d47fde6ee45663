// What sorting by date taken, modification time or size needs to know of
// the listed files. Sizes and modification times are read when asked (one
// stat each); dates taken are read from the photographs' metadata in the
// background, on all cores, and kept for the session, each until its file
// changes.
#pragma once

#include <QObject>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "shell/job_runner.h"
#include "shell/list_order.h"

class CSortFacts : public QObject {
  Q_OBJECT

 public:
  explicit CSortFacts(QObject* parent = nullptr);
  ~CSortFacts() override;

  // The facts of each path, as known now. With dates, missing (when given)
  // receives the paths whose date taken is still to be read.
  std::vector<SortFacts> Known(const std::vector<std::string>& paths, bool withDates,
                               std::vector<std::string>* missing = nullptr);
  // Reads the dates taken of paths in the background; gathered() follows.
  // A gathering still running is abandoned first.
  void Gather(std::vector<std::string> paths);
  void Cancel();
  bool IsGathering() const { return runner_.isRunning(); }

 signals:
  // done of total dates read.
  void progress(int done, int total);
  void gathered();

 private:
  struct Dated {
    std::int64_t size = -1;
    std::int64_t modified = 0;
    std::int64_t dateTaken = 0;
  };
  std::unordered_map<std::string, Dated> dates_;
  CJobRunner runner_;
};
