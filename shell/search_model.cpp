#include "shell/search_model.h"

#include <unistd.h>
#include <QCoreApplication>

#include <algorithm>
#include <string>
#include <utility>

#include "retrieval/color_mode.h"
#include "shell/folim_doc.h"
#include "shell/indexed_search.h"
#include "shell/native_path.h"

namespace {

bool endsInRim(const std::string& name) {
  return name.size() >= 3 && name.compare(name.size() - 3, 3, "rim") == 0;
}

}  // namespace

// What a search hands from its worker to its end.
struct CSearchModel::Run {
  SearchResult result;
  IndexedSearchNotes notes;
  bool pageWasLoading = false;
};

CSearchModel::CSearchModel(CFolimDoc& doc, QObject* parent) : QObject(parent), doc_(doc) {
  connect(&doc_.jobs(), &CJobRunner::progress, this,
          [this](int percent, int, const QString& caption) {
            if (searching_) emit progress(percent, caption);
          });
}

QString CSearchModel::Refusal(const SearchSettings& settings) const {
  if (!ColorModeOf(settings.colorMode)) return QString::fromUtf8(kMessageBadColorMode);
  if (doc_.currentPath().isEmpty())
    return QCoreApplication::translate("CRetrievalView", kMessageNoQuery);
  return QString();
}

bool CSearchModel::NeedsIndex() const {
  const std::int32_t queryBaseType = doc_.currentImage().m_nBaseType;
  if (queryBaseType != kBaseTypePCA && queryBaseType != kBaseTypeICA) return true;
  for (const ImageEntry& e : doc_.listing())
    if (!endsInRim(e.name)) return true;
  return false;
}

bool CSearchModel::Start(const SearchSettings& settings, QString* refusal) {
  if (searching_ || doc_.IsBusy()) return false;
  const QString why = Refusal(settings);
  if (!why.isEmpty()) {
    if (refusal != nullptr) *refusal = why;
    return false;
  }
  auto run = std::make_shared<Run>();
  run->pageWasLoading = doc_.IsLoadingThumbnails();
  doc_.StopLoadingThumbnails();
  // The robust measure ranks signatures, which only the index holds.
  const bool robust = settings.colorMode == kRobustColorMode;
  CJobRunner::Work work = settings.everyIndexedFolder || robust || NeedsIndex()
                              ? searchOverIndex(settings, run)
                              : searchRimFiles(settings, run);
  searching_ = true;
  doc_.LockQuery(true);
  emit started();
  doc_.jobs().start(std::move(work), this, [this, run](bool cancelled) { onDone(run, cancelled); });
  return true;
}

CJobRunner::Work CSearchModel::searchRimFiles(const SearchSettings& settings,
                                              const std::shared_ptr<Run>& run) const {
  SearchRequest request;
  request.queryPath = toNativePath(doc_.currentPath());
  request.queryBaseType = doc_.currentImage().m_nBaseType;
  request.colorMode = settings.colorMode;
  request.colorWeightText = settings.colorPercentText.toStdString();
  request.threads = settings.threads;
  auto entries = std::make_shared<const std::vector<ImageEntry>>(doc_.listing());
  return [request, entries, run](const CJobRunner::Control& control) {
    SearchRequest cancellable = request;
    cancellable.cancel = control.cancelFlag();
    run->result =
        RunSearch(cancellable, *entries, [&control](const std::string& caption, int percent) {
          control.report(percent, 100, QString::fromStdString(caption));
        });
  };
}

CJobRunner::Work CSearchModel::searchOverIndex(const SearchSettings& settings,
                                               const std::shared_ptr<Run>& run) const {
  IndexedSearchRequest request;
  request.queryPath = toNativePath(doc_.currentPath());
  request.folder = toNativePath(doc_.currentDir());
  request.recursive = doc_.includeSubDirs();
  request.colorMode = *ColorModeOf(settings.colorMode);
  request.colorWeight = ColorWeightFromText(settings.colorPercentText.toStdString());
  request.threads = settings.threads;
  if (settings.everyIndexedFolder) {
    request.folder = "/";
    request.recursive = true;
    request.refresh = false;
  }
  return [request, run](const CJobRunner::Control& control) {
    IndexedSearchRequest stoppable = request;
    stoppable.stop = control.cancelFlag();
    run->result = RunWindowIndexedSearch(
        stoppable,
        [&control](int percent, const QString& caption) { control.report(percent, 100, caption); },
        run->notes);
    // Rows of folders not refreshed may name files removed since.
    if (!request.refresh) {
      std::vector<ImageEntry>& found = run->result.candidates;
      found.erase(
          std::remove_if(found.begin(), found.end(),
                         [](const ImageEntry& e) { return access(e.path.c_str(), F_OK) != 0; }),
          found.end());
    }
  };
}

void CSearchModel::Cancel() {
  if (searching_) doc_.jobs().cancel();
}

void CSearchModel::onDone(const std::shared_ptr<Run>& run, bool cancelled) {
  searching_ = false;
  doc_.LockQuery(false);
  emit ended();
  const SearchResult& result = run->result;
  if (cancelled || result.outcome != SearchOutcome::Ranked) {
    if (!cancelled) emit messageRaised(QString::fromStdString(result.message));
    if (run->pageWasLoading) doc_.LoadThumbnails();
  } else {
    emit rankingArrived(static_cast<int>(result.candidates.size()));
    doc_.ShowRanking(result.candidates);
  }
  emit finished();
  if (!run->notes.notice.isEmpty()) emit messageRaised(run->notes.notice);
}
