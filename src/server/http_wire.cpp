#include "server/http_wire.h"

#include <QSslCertificate>
#include <QSslSocket>

#include <QEventLoop>
#include <QTimer>

#include "platform/input_wait.h"

namespace quorvalis {
namespace {

constexpr qsizetype kMaxHead = 64 * 1024;
constexpr size_t kMaxIdle = 4;
constexpr qsizetype kReadChunk = 256 * 1024;

// The line up to '\n' without its CR, taken from the front of buffer. A line is never longer
// than kMaxHead, whether it is all there or not yet.
enum class Line { kTaken, kMissing, kTooLong };
Line takeLine(QByteArray& buffer, QByteArray& line) {
  const qsizetype end = buffer.indexOf('\n');
  if (end < 0) return buffer.size() > kMaxHead ? Line::kTooLong : Line::kMissing;
  if (end > kMaxHead) return Line::kTooLong;
  line = buffer.left(end);
  if (line.endsWith('\r')) line.chop(1);
  buffer.remove(0, end + 1);
  return Line::kTaken;
}

// A line not taken: it may still come, unless it is too long already.
ReplyReader::State whileComing(Line l) {
  return l == Line::kMissing ? ReplyReader::kMore : ReplyReader::kBroken;
}

// Header names and tokens compare without case and surrounding blanks.
bool sameToken(QByteArrayView a, const char* b) { return a.trimmed().compare(b, Qt::CaseInsensitive) == 0; }

// "name", "name:port", "[v6]" or "[v6]:port"; the scheme's port when none is given.
std::pair<QString, quint16> splitHost(const QString& host, quint16 defaultPort) {
  QString name = host;
  QString port;
  if (host.startsWith(u'[')) {
    const qsizetype close = host.indexOf(u']');
    name = host.mid(1, close - 1);
    if (close > 0 && host.mid(close + 1).startsWith(u':')) port = host.mid(close + 2);
  } else if (host.count(u':') == 1) {
    name = host.section(u':', 0, 0);
    port = host.section(u':', 1);
  }
  if (port.isEmpty()) return {name, defaultPort};
  bool ok = false;
  const uint n = port.toUInt(&ok);
  return {name, ok && n > 0 && n < 65536 ? static_cast<quint16>(n) : quint16{0}};
}

}  // namespace

QSslConfiguration centralServerTls(const QString& caFile) {
  QSslConfiguration config = QSslConfiguration::defaultConfiguration();
  config.setPeerVerifyMode(QSslSocket::VerifyPeer);
  // A missing or unreadable file trusts nobody rather than everybody.
  if (!caFile.isEmpty()) config.setCaCertificates(QSslCertificate::fromPath(caFile, QSsl::Pem));
  return config;
}

std::pair<bool, QString> splitScheme(const QString& host) {
  if (host.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive)) return {true, host.mid(8)};
  if (host.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive)) return {false, host.mid(7)};
  return {false, host};
}

ReplyReader::State ReplyReader::feed(QByteArrayView bytes) {
  if (state_ != kMore) return state_;
  started_ = started_ || !bytes.isEmpty();
  // The bulk of a large body goes straight to the body, without a stop in the input.
  if (in_.isEmpty() && (phase_ == kSized || phase_ == kChunkData || phase_ == kToClose)) {
    const qsizetype n = phase_ == kToClose ? bytes.size()
                                           : static_cast<qsizetype>(std::min<qint64>(remaining_, bytes.size()));
    if (addBody(bytes.first(n)) == kBroken) return state_ = kBroken;
    if (phase_ != kToClose) remaining_ -= n;
    bytes = bytes.sliced(n);
    if (phase_ == kSized && remaining_ == 0) {
      phase_ = kEnd;
      return state_ = kDone;
    }
    if (phase_ == kChunkData && remaining_ == 0) phase_ = kChunkEnd;
    if (bytes.isEmpty()) return state_;
  }
  in_.append(bytes);
  while (state_ == kMore) {
    const qsizetype before = in_.size();
    const Phase phaseBefore = phase_;
    state_ = step();
    if (state_ == kMore && in_.size() == before && phase_ == phaseBefore) break;
  }
  return state_;
}

ReplyReader::State ReplyReader::finish() {
  if (state_ != kMore) return state_;
  state_ = phase_ == kToClose || phase_ == kEnd ? kDone : kBroken;
  return state_;
}

ReplyReader::State ReplyReader::addBody(QByteArrayView part) {
  bodyTotal_ += part.size();
  if (maxBody_ >= 0 && bodyTotal_ > maxBody_) return kBroken;
  body_.append(part);
  return kMore;
}

ReplyReader::State ReplyReader::step() {
  switch (phase_) {
    case kStatusLine:
      return statusLine();
    case kHeaderLine:
      return headerLine();
    case kSized:
      return sizedBody();
    case kChunkSize:
      return chunkSizeLine();
    case kChunkData:
      return chunkData();
    case kChunkEnd:
      return chunkEnd();
    case kTrailer:
      return trailerLine();
    case kToClose:
      return untilClose();
    case kEnd:
      return kDone;
  }
  return kBroken;
}

ReplyReader::State ReplyReader::statusLine() {
  // The head is read only once all of it is here, which bounds it as a whole; it ends at its
  // first empty line, with or without CR.
  const qsizetype lf = in_.indexOf("\n\n"), crlf = in_.indexOf("\n\r\n");
  const qsizetype end = lf < 0 ? crlf : crlf < 0 ? lf : std::min(lf, crlf);
  if (end < 0) return in_.size() >= kMaxHead + 3 ? kBroken : kMore;
  if (end > kMaxHead) return kBroken;
  QByteArray line;
  takeLine(in_, line);
  // "HTTP/1.1 200 OK"
  if (!line.startsWith("HTTP/1.") || line.size() < 12 || line[8] != ' ') return kBroken;
  bool ok = false;
  status_ = line.mid(9, 3).toInt(&ok);
  if (!ok || status_ < 100 || status_ > 999) return kBroken;
  keepAlive_ = line[7] != '0';
  contentLength_ = -1;
  chunked_ = false;
  phase_ = kHeaderLine;
  return kMore;
}

ReplyReader::State ReplyReader::headerLine() {
  // Every line of the head is here already, up to the empty one that ends it.
  QByteArray line;
  if (takeLine(in_, line) != Line::kTaken || line.isEmpty()) return headEnd();
  const qsizetype colon = line.indexOf(':');
  if (colon <= 0) return kBroken;
  const QByteArrayView name = QByteArrayView(line).first(colon);
  const QByteArray value = line.mid(colon + 1).trimmed();
  if (sameToken(name, "content-length")) {
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    if (!ok || n < 0 || (contentLength_ >= 0 && contentLength_ != n)) return kBroken;
    contentLength_ = n;
  } else if (sameToken(name, "transfer-encoding")) {
    chunked_ = value.toLower().endsWith("chunked");
  } else if (sameToken(name, "connection")) {
    if (sameToken(value, "close")) keepAlive_ = false;
    if (sameToken(value, "keep-alive")) keepAlive_ = true;
  }
  return kMore;
}

ReplyReader::State ReplyReader::headEnd() {
  if (status_ < 200) {  // an interim reply; the real one follows
    phase_ = kStatusLine;
    return kMore;
  }
  if (status_ == 204 || status_ == 304) {
    phase_ = kEnd;
  } else if (chunked_) {
    phase_ = kChunkSize;
  } else if (contentLength_ >= 0) {
    remaining_ = contentLength_;
    phase_ = contentLength_ == 0 ? kEnd : kSized;
  } else {
    phase_ = kToClose;
    keepAlive_ = false;
  }
  return phase_ == kEnd ? kDone : kMore;
}

ReplyReader::State ReplyReader::bodyBytes() {
  const qsizetype n = static_cast<qsizetype>(std::min<qint64>(remaining_, in_.size()));
  if (addBody(QByteArrayView(in_).first(n)) == kBroken) return kBroken;
  in_.remove(0, n);
  remaining_ -= n;
  return kMore;
}

ReplyReader::State ReplyReader::sizedBody() {
  if (bodyBytes() == kBroken) return kBroken;
  if (remaining_ > 0) return kMore;
  phase_ = kEnd;
  return kDone;
}

ReplyReader::State ReplyReader::chunkSizeLine() {
  QByteArray line;
  if (const Line l = takeLine(in_, line); l != Line::kTaken) return whileComing(l);
  bool ok = false;
  const qsizetype ext = line.indexOf(';');  // chunk extensions are ignored
  const qint64 n = (ext < 0 ? line : line.left(ext)).trimmed().toLongLong(&ok, 16);
  if (!ok || n < 0) return kBroken;
  remaining_ = n;
  phase_ = n == 0 ? kTrailer : kChunkData;
  return kMore;
}

ReplyReader::State ReplyReader::chunkData() {
  if (bodyBytes() == kBroken) return kBroken;
  if (remaining_ == 0) phase_ = kChunkEnd;
  return kMore;
}

ReplyReader::State ReplyReader::chunkEnd() {
  QByteArray line;
  if (const Line l = takeLine(in_, line); l != Line::kTaken) return whileComing(l);
  if (!line.isEmpty()) return kBroken;
  phase_ = kChunkSize;
  return kMore;
}

ReplyReader::State ReplyReader::trailerLine() {
  // Trailer fields are passed over up to the empty line that ends the reply.
  QByteArray line;
  if (const Line l = takeLine(in_, line); l != Line::kTaken) return whileComing(l);
  if (!line.isEmpty()) return kMore;
  phase_ = kEnd;
  return kDone;
}

ReplyReader::State ReplyReader::untilClose() { return addBody(std::exchange(in_, {})); }

HttpWire::~HttpWire() = default;

std::unique_ptr<HttpWire::Connection> HttpWire::takeConnection(const Request& request, bool& reused) {
  // Newest first. One closed by the server meanwhile, or holding bytes nobody asked for, is
  // dropped; the poll takes in a close that came while the connection lay idle.
  for (size_t i = idle_.size(); i-- > 0;) {
    if (idle_[i]->host != request.host) continue;
    std::unique_ptr<Connection> c = std::move(idle_[i]);
    idle_.erase(idle_.begin() + static_cast<std::ptrdiff_t>(i));
    c->socket->waitForReadyRead(0);
    if (c->socket->state() == QAbstractSocket::ConnectedState && c->socket->bytesAvailable() == 0) {
      reused = true;
      return c;
    }
  }
  reused = false;
  auto c = std::make_unique<Connection>();
  c->host = request.host;
  const auto [tls, authority] = splitScheme(request.host);
  const auto [name, port] = splitHost(authority, tls ? 443 : 80);
  QSslSocket* secure = tls ? new QSslSocket : nullptr;
  c->socket.reset(secure ? secure : new QTcpSocket);
  QObject::connect(c->socket.get(), &QTcpSocket::connected, c->socket.get(), [s = c->socket.get()] {
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
  });
  if (port == 0 || name.isEmpty()) return c;
  if (!secure) {
    c->socket->connectToHost(name, port);
    return c;
  }
  // Verified or nothing: certificate errors end the connection, and nothing asks again without
  // the check. The request waits in the socket until the handshake is done.
  secure->setSslConfiguration(centralServerTls(request.caFile));
  secure->setPeerVerifyName(name);
  secure->connectToHostEncrypted(name, port);
  return c;
}

int HttpWire::get(const Request& request, const std::function<bool(const QByteArray&)>& sink) {
  bool reused = false;
  std::unique_ptr<Connection> c = takeConnection(request, reused);
  bool keep = false, closedSilently = false;
  int status = exchange(*c, request, sink, keep, closedSilently);
  // A kept connection the server had already let go closes without one byte of answer: the
  // request never reached it, and a fresh connection carries it once more.
  if (status == 0 && reused && closedSilently) {
    c = takeConnection(request, reused);
    status = exchange(*c, request, sink, keep, closedSilently);
  }
  if (status != 0 && keep) {
    if (idle_.size() >= kMaxIdle) idle_.erase(idle_.begin());
    idle_.push_back(std::move(c));
  }
  return status;
}

int HttpWire::exchange(Connection& c, const Request& request,
                       const std::function<bool(const QByteArray&)>& sink, bool& keep,
                       bool& closedSilently) {
  QTcpSocket& socket = *c.socket;
  if (socket.state() == QAbstractSocket::UnconnectedState) return 0;
  ReplyReader reader(request.maxBody);
  ReplyReader::State state = ReplyReader::kMore;
  bool gaveUp = false;
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  auto pass = [&] {
    if (!reader.body().isEmpty() && !sink(reader.body())) gaveUp = true;
    reader.clearBody();
    if (state != ReplyReader::kMore || gaveUp) loop.quit();
  };
  // One buffer for everything that comes, instead of a new one for every piece of a large body.
  QByteArray chunk(kReadChunk, Qt::Uninitialized);
  auto readAvailable = [&] {
    if (socket.bytesAvailable() <= 0) return;
    if (request.silenceOnly) timer.start(request.timeoutMs);
    qint64 n = 0;
    while ((n = socket.read(chunk.data(), chunk.size())) > 0) state = reader.feed(QByteArrayView(chunk.constData(), n));
  };
  QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
    readAvailable();
    pass();
  });
  // Refused, reset or closed: whatever came is read first; a body that runs to the close ends here.
  auto ended = [&] {
    readAvailable();
    closedSilently = !reader.started();
    state = reader.finish();
    pass();
    loop.quit();
  };
  QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, ended);
  QObject::connect(&socket, &QTcpSocket::disconnected, &loop, ended);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  if (request.deadlineMs > 0) deadline.start(request.deadlineMs);

  socket.write("GET " + request.target + " HTTP/1.1\r\nHost: " + splitScheme(request.host).second.toUtf8() +
               "\r\nConnection: keep-alive\r\n\r\n");
  timer.start(request.timeoutMs);
  runWithoutInput(loop);
  const bool complete = state == ReplyReader::kDone && !gaveUp;
  keep = complete && reader.keepAlive() && socket.state() == QAbstractSocket::ConnectedState &&
         socket.bytesAvailable() == 0;
  if (!keep) socket.abort();
  return complete ? reader.status() : 0;
}

}  // namespace quorvalis
