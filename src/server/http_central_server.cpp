#include "server/http_central_server.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <memory>

#include "common/text.h"
#include "platform/input_wait.h"
#include "server/request_target.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

constexpr int kMaxTimeoutSeconds = 110;  // below the 120 s after which screens close
constexpr qint64 kMaxReplyBytes = 1024 * 1024;  // a script reply or a settings file

struct ReplyDeleter {
  void operator()(QNetworkReply* reply) const {
    if (!reply->isFinished()) reply->abort();
    reply->deleteLater();
  }
};
using ReplyPtr = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// Waits for the reply; the timer is restarted by whoever holds it. False on timeout.
bool waitFor(QNetworkReply* reply, QTimer& timer) {
  if (reply->isFinished()) return true;
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  runWithoutInput(loop);
  return reply->isFinished();
}

int httpStatus(QNetworkReply* reply) {
  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  return status.isValid() ? status.toInt() : 0;
}

}  // namespace

ServerSettings readServerSettings() {
  QString host = readSetting(keys::kServerHost).trimmed();
  if (host.isEmpty()) host = QString::fromLatin1(keys::kServerHost.def);
  int seconds = static_cast<int>(readNumber(readSetting(keys::kServerTimeout)));
  if (seconds <= 0) seconds = static_cast<int>(readNumber(QString::fromLatin1(keys::kServerTimeout.def)));
  return {host, std::min(seconds, kMaxTimeoutSeconds) * 1000};
}

HttpCentralServer::HttpCentralServer(ServerSettings settings) : settings_(std::move(settings)) {
  manager_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

static QNetworkRequest requestFor(const QString& host, const QString& path) {
  QNetworkRequest request(centralServerUrl(host, path));
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                       QNetworkRequest::AlwaysNetwork);
  return request;
}

QString HttpCentralServer::get(const QString& path) { return fetch(settings_.host, path); }

QString HttpCentralServer::getUrl(const QString& url) {
  const QString scheme = QStringLiteral("http://");
  if (!url.startsWith(scheme, Qt::CaseInsensitive)) return {};
  const qsizetype slash = url.indexOf(u'/', scheme.size());
  const QString host = url.mid(scheme.size(), slash < 0 ? -1 : slash - scheme.size());
  if (host.isEmpty()) return {};
  return fetch(host, slash < 0 ? QStringLiteral("/") : url.mid(slash));
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
  ReplyPtr reply(manager_.get(requestFor(host, target)));
  // Beyond the limit a reply is no answer, and the rest of it is not fetched.
  QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
                   [r = reply.get()](qint64 received, qint64 total) {
                     if (received > kMaxReplyBytes || total > kMaxReplyBytes) r->abort();
                   });
  QTimer timer;
  timer.setSingleShot(true);
  timer.start(settings_.timeoutMs);
  if (!waitFor(reply.get(), timer)) return {};
  // The answer, or the not-found page the rules look for; an error page or a redirect is none.
  const int status = httpStatus(reply.get());
  if (status != 200 && status != 404) return {};
  // Cut off, aborted or otherwise broken on the way: no answer, not the part that came.
  if (reply->error() != QNetworkReply::NoError && reply->error() != QNetworkReply::ContentNotFoundError)
    return {};
  const QByteArray body = reply->read(kMaxReplyBytes + 1);
  return body.size() > kMaxReplyBytes ? QString() : fromCp1252(body);
}

bool HttpCentralServer::download(const QString& path, const QString& file) {
  const Waiting waiting(waiting_);
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly)) return false;
  ReplyPtr reply(manager_.get(requestFor(settings_.host, path)));
  QTimer timer;
  timer.setSingleShot(true);
  bool writeFailed = false;
  // A large program may take long; only silence counts as a timeout here.
  QObject::connect(reply.get(), &QNetworkReply::readyRead, [&] {
    timer.start(settings_.timeoutMs);
    const QByteArray chunk = reply->readAll();
    if (out.write(chunk) != chunk.size()) writeFailed = true;
  });
  timer.start(settings_.timeoutMs);
  if (!waitFor(reply.get(), timer)) {
    out.cancelWriting();
    return false;
  }
  const QByteArray rest = reply->readAll();
  if (out.write(rest) != rest.size()) writeFailed = true;
  if (writeFailed || reply->error() != QNetworkReply::NoError || httpStatus(reply.get()) != 200) {
    out.cancelWriting();
    return false;
  }
  return out.commit();
}

}  // namespace quorvalis
