#include "server/http_central_server.h"

#include "platform/program_folder.h"
#include "platform/support_log.h"
#include "server/http_wire.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <algorithm>

#include "common/text.h"
#include "server/request_target.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

constexpr int kMaxTimeoutSeconds = 110;  // below the 120 s after which screens close
constexpr qint64 kMaxReplyBytes = 1024 * 1024;  // a script reply or a settings file
constexpr qint64 kDiskCheckBytes = 4 * 1024 * 1024;

}  // namespace

ServerSettings readServerSettings() {
  QString host = readSetting(keys::kServerHost).trimmed();
  if (host.isEmpty()) host = QString::fromLatin1(keys::kServerHost.def);
  int seconds = static_cast<int>(readNumber(readSetting(keys::kServerTimeout)));
  if (seconds <= 0) seconds = static_cast<int>(readNumber(QString::fromLatin1(keys::kServerTimeout.def)));
  const QString ca = readSetting(keys::kServerCa).trimmed();
  return {host, std::min(seconds, kMaxTimeoutSeconds) * 1000, ca.isEmpty() ? QString() : programFile(ca)};
}

HttpCentralServer::HttpCentralServer(ServerSettings settings) : settings_(std::move(settings)) {}

QString HttpCentralServer::get(const QString& path) { return fetch(settings_.host, path); }

// The head office's own authority vouches for its own server only; other hosts (the SMS
// gateways) are checked against the system's store.
QString HttpCentralServer::trustFor(const QString& host) const {
  return host.compare(settings_.host, Qt::CaseInsensitive) == 0 ? settings_.caFile : QString();
}

QString HttpCentralServer::getUrl(const QString& url) {
  const auto [tls, rest] = splitScheme(url);
  if (rest.size() == url.size()) return {};  // neither http:// nor https://
  const qsizetype slash = rest.indexOf(u'/');
  const QString authority = rest.left(slash < 0 ? rest.size() : slash);
  if (authority.isEmpty()) return {};
  return fetch((tls ? QStringLiteral("https://") : QString()) + authority,
               slash < 0 ? QStringLiteral("/") : rest.mid(slash));
}

// Counts the requests under way for busy().
class Waiting {
 public:
  explicit Waiting(int& count) : count_(++count) {}
  ~Waiting() { --count_; }
  Waiting(const Waiting&) = delete;
  Waiting& operator=(const Waiting&) = delete;

 private:
  int& count_;
};

QString HttpCentralServer::fetch(const QString& host, const QString& target) {
  const Waiting waiting(waiting_);
  QByteArray body;
  // Beyond the limit a reply is no answer, and the rest of it is not fetched.
  const int status = wire_.get({host, trustFor(host), encodeRequestTarget(target), settings_.timeoutMs, false, kMaxReplyBytes},
                               [&body](const QByteArray& part) {
                                 body += part;
                                 return true;
                               });
  // Other hosts' addresses carry credentials and texts: only the central server is logged.
  if (host == settings_.host) noteReachable(target, status);
  // The answer, or the not-found page the rules look for; an error page or a redirect is none.
  return status == 200 || status == 404 ? fromCp1252(body) : QString();
}

void HttpCentralServer::noteReachable(const QString& target, int status) {
  const bool answered = status != 0;
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  if (!answered && !unreachable_) {
    unreachable_ = true;
    unreachableSinceMs_ = now;
    logWarning("server", QStringLiteral("the central server %1 does not answer (%2, %3 s timeout)")
                             .arg(settings_.host, requestName(target))
                             .arg(settings_.timeoutMs / 1000));
  } else if (answered && unreachable_) {
    unreachable_ = false;
    logInfo("server", QStringLiteral("the central server answers again after %1 s").arg((now - unreachableSinceMs_) / 1000));
  }
  if (answered && status != 200 && status != 404)
    logWarning("server", QStringLiteral("%1 answered with HTTP status %2").arg(requestName(target)).arg(status));
}

bool HttpCentralServer::download(const QString& path, const QString& file, const DownloadLimits& limits) {
  const Waiting waiting(waiting_);
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly)) return false;
  const QString folder = QFileInfo(file).absolutePath();
  qint64 received = 0, nextDiskCheck = 0;
  const auto sink = [&](const QByteArray& part) {
    received += part.size();
    // A large program may fill the disk the branch's records need.
    if (received >= nextDiskCheck) {
      if (limits.keepFree > 0 && QStorageInfo(folder).bytesAvailable() - part.size() < limits.keepFree) return false;
      nextDiskCheck = received + kDiskCheckBytes;
    }
    if (out.write(part) != part.size()) return false;
    if (limits.progress) limits.progress(received);
    return true;
  };
  // Silence times out as for any request; the deadline bounds a server that trickles.
  const int status = wire_.get({settings_.host, settings_.caFile, encodeRequestTarget(path), settings_.timeoutMs,
                                true, limits.maxBytes, limits.deadlineMs},
                               sink);
  if (status != 0) noteReachable(path, status);  // 0 here may be our own limit, not the server
  if (status != 200) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}

}  // namespace quorvalis
