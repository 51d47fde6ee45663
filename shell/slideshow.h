// The slideshow: the listed pictures in list order, each the current one
// for an interval, from the picture shown to the last listed. Any key pauses
// it (the window tells it so); the slideshow key goes on from the picture
// shown. The interval is a setting, kept between sessions.
#pragma once

#include <QList>
#include <QObject>
#include <QTimer>

class CFolimDoc;

class CSlideshow : public QObject {
  Q_OBJECT

 public:
  enum class State { Stopped, Running, Paused };

  // The intervals offered, in seconds, and the one at first.
  static const QList<int>& IntervalChoices();
  static constexpr int kDefaultIntervalMs = 3000;

  explicit CSlideshow(CFolimDoc& doc, QObject* parent = nullptr);

  State state() const { return state_; }
  bool IsActive() const { return state_ != State::Stopped; }

  // Starts from the current picture, or from the first listed when the
  // current one is not listed; false (and nothing changes) when nothing is
  // listed.
  bool Start();
  void Pause();
  void Resume();
  void Stop();
  // The slideshow key: starts when stopped, pauses when running, goes on
  // when paused.
  void Toggle();
  // The next listed picture becomes the current one; after the last, the
  // slideshow stops. What the timer does every interval.
  void Advance();

  int interval() const { return timer_.interval(); }
  // In milliseconds (at least 1); remembered in the settings.
  void SetInterval(int milliseconds);

 signals:
  void stateChanged(CSlideshow::State state);
  // A picture is to be shown: the first at start, then each next.
  void pictureChanged();

 private:
  void setState(State state);

  CFolimDoc& doc_;
  QTimer timer_;
  State state_ = State::Stopped;
};
