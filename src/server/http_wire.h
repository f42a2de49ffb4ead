// A plain HTTP/1.1 GET client on QTcpSocket with kept-alive connections. Qt Network hands each
// request to its own thread and back and reads the headers a byte per system call; on loopback
// that cost ten times the round trip itself.
#pragma once

#include <QByteArray>
#include <QString>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <vector>

namespace quorvalis {

// One reply read as its bytes arrive: status line, headers, then a body delimited by
// Content-Length, chunked transfer coding or the end of the connection.
class ReplyReader {
 public:
  enum State { kMore, kDone, kBroken };
  // maxBody < 0: no limit. A body beyond the limit breaks the reply.
  explicit ReplyReader(qint64 maxBody) : maxBody_(maxBody) {}
  State feed(QByteArrayView bytes);
  // The peer closed the connection.
  State finish();
  int status() const { return status_; }
  bool keepAlive() const { return keepAlive_; }
  bool started() const { return started_; }
  // The body decoded so far and not yet taken.
  QByteArray takeBody() { return std::exchange(body_, {}); }
  // The same without giving up its memory: read body(), then clearBody() before the next feed.
  const QByteArray& body() const { return body_; }
  void clearBody() { body_.resize(0); }

 private:
  // Each reads the next piece of its phase, if it has come, and moves on to the phase after.
  State step();
  State statusLine();
  State headerLine();
  State headEnd();
  State sizedBody();
  State chunkSizeLine();
  State chunkData();
  State chunkEnd();
  State trailerLine();
  State untilClose();
  State bodyBytes();
  State addBody(QByteArrayView part);
  enum Phase {
    kStatusLine,
    kHeaderLine,
    kSized,
    kChunkSize,
    kChunkData,
    kChunkEnd,
    kTrailer,
    kToClose,
    kEnd
  };
  Phase phase_ = kStatusLine;
  QByteArray in_;
  QByteArray body_;
  qint64 maxBody_;
  qint64 bodyTotal_ = 0;
  qint64 remaining_ = 0;
  qint64 contentLength_ = -1;  // < 0: none given
  bool chunked_ = false;
  int status_ = 0;
  bool keepAlive_ = true;
  bool started_ = false;
  State state_ = kMore;
};

// What a TLS connection to the central server trusts: the system's authorities, or only the
// head office's own in caFile. A certificate that does not verify is never accepted.
QSslConfiguration centralServerTls(const QString& caFile);

// "https://name:port" -> true and "name:port"; a bare "name:port" is plain HTTP.
std::pair<bool, QString> splitScheme(const QString& host);

class HttpWire {
 public:
  struct Request {
    QString host;         // "name", "name:port", or either after "https://" for TLS
    QString caFile;       // TLS: the only authority trusted, else the system's ("")
    QByteArray target;    // sent as it stands
    int timeoutMs;
    bool silenceOnly;     // the timeout counts from the last bytes received, not the start
    qint64 maxBody;       // < 0: no limit
    int deadlineMs = 0;   // for the whole exchange, whatever comes meanwhile; 0: none
  };
  // Sends the request and waits without taking user input; each piece of the body goes to
  // sink, which returns false to give up. The status, or 0 when no whole reply came.
  int get(const Request& request, const std::function<bool(const QByteArray&)>& sink);
  ~HttpWire();

 private:
  struct Connection {
    QString host;
    std::unique_ptr<QTcpSocket> socket;  // a QSslSocket for "https://"
  };
  std::unique_ptr<Connection> takeConnection(const Request& request, bool& reused);
  int exchange(Connection& c, const Request& request,
               const std::function<bool(const QByteArray&)>& sink, bool& keep,
               bool& closedSilently);
  // Idle kept-alive connections; a request made while another waits gets its own.
  std::vector<std::unique_ptr<Connection>> idle_;
};

}  // namespace quorvalis
