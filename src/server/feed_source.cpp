#include "server/feed_source.h"

#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

#include "server/http_wire.h"
#include "server/request_target.h"

namespace quorvalis {

void HttpFeedSource::fetch(const QString& pathOrUrl, QObject* context, Done done) {
  const QUrl url = pathOrUrl.startsWith(u'/') ? centralServerUrl(settings_.host, pathOrUrl)
                                               : QUrl(pathOrUrl.trimmed());
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || (scheme != u"http" && scheme != u"https")) {
    QTimer::singleShot(0, context, [done] { done(std::nullopt); });
    return;
  }
  QNetworkRequest request(url);
  // The central server's own address trusts what its requests trust; other hosts the system's.
  if (pathOrUrl.startsWith(u'/') && scheme == u"https")
    request.setSslConfiguration(centralServerTls(settings_.caFile));
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setTransferTimeout(settings_.timeoutMs);  // silence counts as unreachable
  if (!manager_) manager_ = std::make_unique<QNetworkAccessManager>();
  QNetworkReply* reply = manager_->get(request);
  QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
  // A whole answer must come within the timeout too, and no answer may grow without bound.
  auto* deadline = new QTimer(reply);
  deadline->setSingleShot(true);
  QObject::connect(deadline, &QTimer::timeout, reply, &QNetworkReply::abort);
  deadline->start(settings_.timeoutMs);
  QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
    if (received > kMaxDocumentBytes || total > kMaxDocumentBytes) reply->abort();
  });
  // The screen is going: its handler must not see the aborted reply.
  QObject::connect(context, &QObject::destroyed, reply, [reply, context] {
    QObject::disconnect(reply, nullptr, context, nullptr);
    reply->abort();
  });
  QObject::connect(reply, &QNetworkReply::finished, context, [reply, done] {
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status != 200) {
      done(std::nullopt);
      return;
    }
    const QByteArray body = reply->read(kMaxDocumentBytes + 1);
    done(body.size() > kMaxDocumentBytes ? std::nullopt : std::optional<QByteArray>(body));
  });
}

}  // namespace quorvalis
