// The central server: every exchange is one blocking HTTP GET.
#pragma once

#include <QString>

namespace quorvalis {

class CentralServer {
 public:
  virtual ~CentralServer() = default;
  // The reply body as text, whatever the HTTP status (a not-found page contains "File Not");
  // "" when there was no connection, no answer in time or a transport error.
  virtual QString get(const QString& path) = 0;
  // The same for a full "http://host/..." address on another host (the SMS gateway).
  virtual QString getUrl(const QString& url) = 0;
  // Saves the body to file; true only when the server answered 200 and all of it is on disk.
  virtual bool download(const QString& path, const QString& file) = 0;
  // True while a request waits for its answer: timers that fire inside that wait (the club
  // screen's card polling) leave their own requests for a later tick.
  virtual bool busy() const = 0;
};

}  // namespace quorvalis
