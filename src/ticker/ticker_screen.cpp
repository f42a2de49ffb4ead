#include "ticker/ticker_screen.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "platform/display_strip.h"
#include "platform/widgets.h"
#include "platform/window.h"

namespace quorvalis {
namespace {

constexpr int kHeight = 1350;
constexpr int kBandHeight = 2500;
const QColor kYellow(255, 255, 0);
// The longest strip drawn at once; a longer text is cut with an ellipsis.
constexpr int kMaxTextPixels = 32000;

QFont scrollerFont() {
  QFont f(QStringLiteral("Arial"));
  f.setPointSizeF(21.75);
  f.setBold(true);
  return f;
}

}  // namespace

// The strip's row across the area, which draws the text at its place over the area's background.
// A step moves pixels instead of painting: the display copies them from pictures it was given
// once per entry (DisplayStrip, X11), or else the widget scrolls its own and paints only the
// column that came in. It paints whole itself (opaque), so the area behind is never painted for
// a step.
class StripView : public QWidget {
 public:
  explicit StripView(QWidget* area) : QWidget(area), area_(area) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();  // until it has a text
  }

  // A new text entering at x; row is the strip's place in the area.
  void start(const QPixmap& text, const QRect& row, int x) {
    text_ = text;
    x_ = x;
    setGeometry(row);
    takeBackground();
    show();
    update();
    if (!display_ && !displayTried_ && isVisible()) {
      displayTried_ = true;
      display_ = DisplayStrip::create(this);
    }
    if (display_ && (covered() || !display_->setPictures(rowBackground(), textOverBackground()))) display_.reset();
  }

  void moveTo(int x) {
    const int dx = x - x_;
    x_ = x;
    if (dx == 0 || !isVisible()) return;
    if (display_) {
      display_->show(QRect(mapTo(window(), QPoint()), size()), x_);
    } else {
      scroll(dx, 0);
    }
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    const QPoint offset = pos();
    for (const QRect& r : event->region())
      painter.drawImage(r, background_, r.translated(offset));
    painter.drawPixmap(x_, 0, text_);
  }

 private:
  // The area's own picture without its children, taken again when its size changed.
  void takeBackground() {
    if (background_.size() == area_->size()) return;
    background_ = QImage(area_->size(), QImage::Format_RGB32);
    background_.fill(area_->palette().color(QPalette::Window));  // what shows at the rounded corners
    area_->ensurePolished();
    area_->render(&background_, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    if (display_) display_.reset();
    displayTried_ = false;
  }
  // The captions stand above the row; the display would copy over one that reached into it.
  bool covered() const {
    for (const QWidget* w : area_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (w != this && w->isVisible() && w->geometry().intersects(geometry())) return true;
    return false;
  }
  QImage rowBackground() const { return background_.copy(geometry()); }
  // The text over the row's background. The display repeats it along the row, which is only
  // right where every column of the row is the same (the gradient runs from top to bottom).
  QImage textOverBackground() const {
    const QImage row = rowBackground();
    for (int y = 0; y < row.height(); ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(row.constScanLine(y));
      if (!std::all_of(line, line + row.width(), [first = line[0]](QRgb p) { return p == first; })) return {};
    }
    QImage picture(text_.size(), QImage::Format_RGB32);
    {
      QPainter painter(&picture);
      painter.drawImage(picture.rect(), row, QRect(0, 0, 1, row.height()));
      painter.drawPixmap(0, 0, text_);
    }
    return picture;
  }

  QWidget* area_;
  QImage background_;
  QPixmap text_;
  int x_ = 0;
  std::unique_ptr<DisplayStrip> display_;
  bool displayTried_ = false;
};

TickerScreen::TickerScreen(TerminalState& state, FeedSource& feeds, std::function<bool()> bandIsTile,
                           QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                          Qt::WindowDoesNotAcceptFocus),
      state_(state),
      feeds_(feeds),
      bandIsTile_(std::move(bandIsTile)) {
  setObjectName(QStringLiteral("RSSform"));
  setWindowTitle(QStringLiteral("quorvalis - News"));
  // The strip never takes the focus or the keyboard from a screen being typed on.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0, 40, 72));
  setPalette(pal);

  picScrollParent = makeLabel(this, "picScrollParent");
  picScrollParent->setStyleSheet(QStringLiteral(
      "#picScrollParent { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 rgb(0,62,110),"
      " stop:1 rgb(0,30,56)); border-radius: 6px; }"));
  picScrollParent->installEventFilter(this);
  stripView_ = new StripView(picScrollParent);
  // The text's place in the area; the strip's row draws it.
  picScroller = makeNamed<QWidget>(picScrollParent, QStringLiteral("picScroller"));
  picScroller->hide();
  lblScroller = makeLabel(picScroller, "lblScroller");
  lblScroller->setFont(scrollerFont());
  for (int i = 0; i < 2; ++i) {
    QLabel* l = makeLabel(picScrollParent, qPrintable(QStringLiteral("rssdata_%1").arg(i)));
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(9);
    f.setBold(true);
    l->setFont(f);
    l->setStyleSheet(QStringLiteral("background: transparent;"));
    rssdata[static_cast<size_t>(i)] = l;
  }
  setColour(colour_);
  Timer1 = makeNamed<QTimer>(this, QStringLiteral("Timer1"));
  connect(Timer1, &QTimer::timeout, this, &TickerScreen::timer1Tick);

  LoadTickerSettings();
  placeWindow();
  const int w = state_.screenW.toInt();
  picScrollParent->setGeometry(twipsToPixels(QRect(150, 120, w - 300, 1000)));
  n_ = 0;
  k_ = 0;
  QTimer::singleShot(0, this, [this] { LoadFeed([this] { NextTickerEntry(); }); });
}

void TickerScreen::placeWindow() {
  const int w = state_.screenW.toInt(), h = state_.screenH.toInt();
  setGeometry(twipsToPixels(QRect(0, std::max(0, h - kBandHeight - kHeight), w, kHeight)));
}

void TickerScreen::setColour(const QColor& colour) {
  colour_ = colour;
  for (QLabel* l : rssdata) {
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
  }
}

void TickerScreen::LoadTickerSettings() { settings_ = readTickerSettings(state_.quorvalverz); }

void TickerScreen::LoadFeed(std::function<void()> then) {
  if (bandIsTile_ && bandIsTile_()) hide();
  LoadTickerSettings();
  if (settings_.feeds[static_cast<size_t>(n_)].url.isEmpty()) n_ = 0;
  loading_ = true;
  feeds_.fetch(settings_.feeds[static_cast<size_t>(n_)].url, this,
               [this, then = std::move(then)](std::optional<QByteArray> document) {
                 loading_ = false;
                 const ParsedFeed feed = document ? parseFeed(*document) : ParsedFeed();
                 if (!feed.loaded) {
                   ShowFeedOffline();
                 } else {
                   placeCaptions(cleanTitle(QStringLiteral("*** ") + feed.channelTitle +
                                            QStringLiteral(" *** ")));
                   List1_ = feed.lines;
                   QString& last = lastfeed_[static_cast<size_t>(n_)];
                   setColour(kYellow);
                   if (List1_.value(0) == last) {
                     if (bandIsTile_ && bandIsTile_()) hide();
                   } else {
                     last = List1_.value(0);
                     placeWindow();
                     show();
                     SetTopmost(this);
                   }
                   if (readTickerSettings(state_.quorvalverz).main == 0) {
                     closing_ = true;
                     Timer1->stop();
                     hide();
                     emit unloaded();
                     return;
                   }
                 }
                 if (then) then();
               });
}

void TickerScreen::ShowFeedOffline() {
  placeCaptions(QString::fromLatin1(kOfflineCaption));
  List1_ = offlineLines(n_);
}

void TickerScreen::placeCaptions(const QString& channel) {
  rssdata[0]->setText(channel);
  rssdata[0]->adjustSize();
  rssdata[0]->move(0, 0);
  placeDateCorner();
}

void TickerScreen::placeDateCorner() {
  QLabel* corner = rssdata[1];
  corner->adjustSize();
  corner->move(picScrollParent->width() - corner->width(), 0);
}

void TickerScreen::nextFeed() {
  setTimerInterval(Timer1, 0);
  if (++n_ > 10) {
    n_ = 1;
    LoadTickerSettings();
  }
  k_ = 0;
}

void TickerScreen::NextTickerEntry() {
  if (closing_ || loading_) return;
  if (k_ > settings_.items * 3 - 3 || k_ >= List1_.size()) {
    nextFeed();
    LoadFeed([this] { afterLoad(true); });
    return;
  }
  showEntry();
}

// A feed that brought no lines is passed over once; when the next one brings none either, its
// offline entries scroll, so the rotation never chains loads without showing anything.
void TickerScreen::afterLoad(bool moveOnWhenEmpty) {
  if (k_ < List1_.size()) {
    showEntry();
    return;
  }
  if (moveOnWhenEmpty) {
    nextFeed();
    LoadFeed([this] { afterLoad(false); });
    return;
  }
  List1_ = offlineLines(n_);
  showEntry();
}

void TickerScreen::showEntry() {
  text_ = entryText(List1_, k_, settings_.feeds[static_cast<size_t>(n_)].flag, text_);
  rssdata[1]->setText(entryDate(List1_, k_));
  placeDateCorner();
  k_ += 3;
  if (k_ > 3) setColour(kYellow);
  StartScroller(10);
}

void TickerScreen::StartScroller(int interval) {
  setTimerInterval(Timer1, interval);
  // Drawn once per entry; the ticks only move it.
  const QFontMetrics metrics(lblScroller->font());
  const QString shown = metrics.elidedText(text_, Qt::ElideRight, kMaxTextPixels);
  const QSize size(std::max(1, metrics.horizontalAdvance(shown)), metrics.height());
  QPixmap strip(size);
  strip.fill(Qt::transparent);
  {
    QPainter painter(&strip);
    painter.setFont(lblScroller->font());
    painter.setPen(colour_);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignVCenter, shown);
  }
  lblScroller->setPixmap(strip);
  lblScroller->setAccessibleName(text_);
  lblScroller->setGeometry(0, 0, size.width(), size.height());
  position_ = picScrollParent->width();
  const int top = (picScrollParent->height() - size.height()) / 2;
  picScroller->setGeometry(static_cast<int>(position_), top, size.width(), size.height());
  stripView_->start(strip, QRect(0, top, picScrollParent->width(), size.height()), static_cast<int>(position_));
}

void TickerScreen::timer1Tick() {
  if (!Timer1->isActive()) return;
  position_ -= settings_.speed;
  picScroller->move(static_cast<int>(position_), picScroller->y());
  stripView_->moveTo(static_cast<int>(position_));
  if (position_ <= -picScroller->width()) NextTickerEntry();
}

bool TickerScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picScrollParent && event->type() == QEvent::MouseButtonDblClick) picScrollParent_DblClick();
  return QWidget::eventFilter(watched, event);
}

void TickerScreen::picScrollParent_DblClick() { hide(); }

}  // namespace quorvalis
