// The central server: every exchange is one blocking HTTP GET.
#pragma once

#include <QString>
#include <functional>

namespace quorvalis {

// What bounds a download: its size, its whole duration, the disk it fills.
struct DownloadLimits {
  qint64 maxBytes = -1;    // beyond it the download fails; < 0: none
  int deadlineMs = 0;      // for the whole download, however slowly bytes come; 0: none
  qint64 keepFree = 0;     // the download fails rather than leave less free on the disk
  std::function<void(qint64 received)> progress = {};
};

class CentralServer {
 public:
  virtual ~CentralServer() = default;
  // The reply body as text, whatever the HTTP status (a not-found page contains "File Not");
  // "" when there was no connection, no answer in time or a transport error.
  virtual QString get(const QString& path) = 0;
  // The same for a full "http://host/..." address on another host (the SMS gateway).
  virtual QString getUrl(const QString& url) = 0;
  // Saves the body to file; true only when the server answered 200 and all of it is on disk
  // within the limits. A failed download leaves no file.
  virtual bool download(const QString& path, const QString& file, const DownloadLimits& limits) = 0;
  // True while a request waits for its answer: timers that fire inside that wait (the club
  // screen's card polling) leave their own requests for a later tick.
  virtual bool busy() const = 0;
};

}  // namespace quorvalis
