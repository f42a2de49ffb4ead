#pragma once

#include "server/central_server.h"
#include "server/http_wire.h"

namespace quorvalis {

// Where the central server is and how long a request may take: install.ini [server].
struct ServerSettings {
  QString host;    // "name" or "name:port", plain HTTP; after "https://", TLS
  int timeoutMs;   // always below the screens' 120 s idle limit
  QString caFile = {};  // TLS: the head office's own authority, else the system's trust store
};
ServerSettings readServerSettings();

// Blocking GETs behind a nested event loop that keeps timers and painting alive but takes no
// user input, so the operator waits while the progress bar keeps moving.
class HttpCentralServer : public CentralServer {
 public:
  explicit HttpCentralServer(ServerSettings settings);
  QString get(const QString& path) override;
  QString getUrl(const QString& url) override;
  bool download(const QString& path, const QString& file, const DownloadLimits& limits) override;
  bool busy() const override { return waiting_ > 0; }

 private:
  QString fetch(const QString& host, const QString& target);
  QString trustFor(const QString& host) const;
  HttpWire wire_;
  ServerSettings settings_;
  int waiting_ = 0;
  // For the support log: whether the server answered last time, and since when it does not.
  void noteReachable(const QString& target, int status);
  bool unreachable_ = false;
  qint64 unreachableSinceMs_ = 0;
};

}  // namespace quorvalis
