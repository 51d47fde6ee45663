#include "shell/slideshow.h"

#include <QSettings>
#include <algorithm>

#include "shell/folim_doc.h"
#include "shell/native_path.h"

namespace {

const char* const kIntervalKey = "slideshow/interval";

}  // namespace

const QList<int>& CSlideshow::IntervalChoices() {
  static const QList<int> seconds = {2, 3, 5, 10, 20};
  return seconds;
}

CSlideshow::CSlideshow(CFolimDoc& doc, QObject* parent) : QObject(parent), doc_(doc) {
  timer_.setInterval(
      std::max(QSettings().value(QLatin1String(kIntervalKey), kDefaultIntervalMs).toInt(), 1));
  connect(&timer_, &QTimer::timeout, this, &CSlideshow::Advance);
}

bool CSlideshow::Start() {
  const std::vector<ImageEntry>& entries = doc_.entries();
  if (entries.empty()) return false;
  if (doc_.CurrentEntry() < 0) {
    if (doc_.paging().page != 0) doc_.ChoosePage(0);
    doc_.SelectImage(fromNativePath(entries.front().path));
  }
  setState(State::Running);
  timer_.start();
  emit pictureChanged();
  return true;
}

void CSlideshow::Pause() {
  if (state_ != State::Running) return;
  timer_.stop();
  setState(State::Paused);
}

void CSlideshow::Resume() {
  if (state_ != State::Paused) return;
  timer_.start();
  setState(State::Running);
}

void CSlideshow::Stop() {
  timer_.stop();
  setState(State::Stopped);
}

void CSlideshow::Toggle() {
  switch (state_) {
    case State::Stopped:
      Start();
      break;
    case State::Running:
      Pause();
      break;
    case State::Paused:
      Resume();
      break;
  }
}

void CSlideshow::Advance() {
  if (!doc_.StepImage(1)) {
    Stop();
    return;
  }
  emit pictureChanged();
}

void CSlideshow::SetInterval(int milliseconds) {
  timer_.setInterval(std::max(milliseconds, 1));
  QSettings().setValue(QLatin1String(kIntervalKey), timer_.interval());
}

void CSlideshow::setState(State state) {
  if (state_ == state) return;
  state_ = state;
  emit stateChanged(state);
}
