#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace quorvalis {

// Every date and time the terminal writes comes from here, so tests can fix the day.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime now() const = 0;
  QDate today() const { return now().date(); }
  QTime time() const { return now().time(); }
};

class SystemClock : public Clock {
 public:
  QDateTime now() const override { return QDateTime::currentDateTime(); }
};

}  // namespace quorvalis
