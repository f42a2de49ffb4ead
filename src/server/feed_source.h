// News feed documents, fetched without blocking: the band and the entry screens keep taking
// touches while a feed's server is slow or silent.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "server/http_central_server.h"

namespace quorvalis {

class FeedSource {
 public:
  using Done = std::function<void(std::optional<QByteArray> document)>;
  static constexpr qint64 kMaxDocumentBytes = 5 * 1024 * 1024;

  virtual ~FeedSource() = default;
  // A path ("/quorvalis/...") is asked of the central server, anything else is a full address.
  // done gets the body of a 200 answer, or nullopt for no usable answer in time; it is always
  // called later, never inside fetch, and never once context is gone.
  virtual void fetch(const QString& pathOrUrl, QObject* context, Done done) = 0;
};

class HttpFeedSource : public FeedSource {
 public:
  explicit HttpFeedSource(ServerSettings settings) : settings_(std::move(settings)) {}
  void fetch(const QString& pathOrUrl, QObject* context, Done done) override;

 private:
  // Made on the first feed: a terminal without the news strip never starts Qt Network.
  std::unique_ptr<QNetworkAccessManager> manager_;
  ServerSettings settings_;
};

}  // namespace quorvalis
