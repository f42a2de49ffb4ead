// RSSform: the news strip above the band. Scrolls one entry at a time from right to left, feed
// after feed; a feed is fetched while everything else goes on taking touches.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "server/feed_source.h"
#include "server/terminal_state.h"
#include "ticker/ticker_rules.h"

namespace quorvalis {

class StripView;

class TickerScreen : public QWidget {
  Q_OBJECT
 public:
  // Form load: settings, place, layout; the first feed is fetched as soon as the event loop
  // runs, after the band has shown the strip.
  TickerScreen(TerminalState& state, FeedSource& feeds, std::function<bool()> bandIsTile,
               QWidget* parent = nullptr);

  void LoadTickerSettings();
  // Fetches the current feed; its steps run when the answer is there, then `then`.
  void LoadFeed(std::function<void()> then = {});
  void ShowFeedOffline();
  void NextTickerEntry();
  void StartScroller(int interval);
  void timer1Tick();
  void picScrollParent_DblClick();

  int feedNumber() const { return n_; }
  int lineIndex() const { return k_; }
  bool loading() const { return loading_; }
  const QStringList& entries() const { return List1_; }
  QString scrollText() const { return text_; }
  QString caption(int i) const { return rssdata[static_cast<size_t>(i)]->text(); }
  QColor textColour() const { return colour_; }
  const TickerSettings& settings() const { return settings_; }
  QWidget* scroller() const { return picScroller; }

 signals:
  void unloaded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void placeWindow();
  void setColour(const QColor& colour);
  void placeCaptions(const QString& channel);  // the channel top left, the date top right
  void placeDateCorner();
  void nextFeed();
  void afterLoad(bool moveOnWhenEmpty);
  void showEntry();

  TerminalState& state_;
  FeedSource& feeds_;
  std::function<bool()> bandIsTile_;
  TickerSettings settings_;
  std::array<QString, 11> lastfeed_;
  QStringList List1_;
  QString text_;
  int n_ = 0, k_ = 0;
  double position_ = 0;
  bool loading_ = false;
  bool closing_ = false;
  QColor colour_ = Qt::white;

  QLabel* picScrollParent;
  QWidget* picScroller;
  StripView* stripView_;
  QLabel* lblScroller;
  std::array<QLabel*, 2> rssdata{};
  QTimer* Timer1;
};

}  // namespace quorvalis
