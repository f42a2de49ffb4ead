// A loopback HTTP server on the test's own thread: records request lines byte for byte and
// answers as the test says, or never.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

namespace quorvalis::testing {

class RecordingHttpServer : public QObject {
 public:
  RecordingHttpServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        ++connections;
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
      }
    });
  }

  QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort()); }
  void answer(int status, const QByteArray& body) {
    status_ = status;
    body_ = body;
    silent_ = false;
    raw_.reset();
  }
  void neverAnswer() { silent_ = true; }
  // These bytes as the whole answer; the connection stays open unless close.
  void answerRaw(const QByteArray& bytes, bool close) {
    raw_ = bytes;  // "": closed without a word
    closeAfterRaw_ = close;
    silent_ = false;
  }
  // As a server does with connections idle too long.
  void closeConnections() {
    for (QTcpSocket* socket : findChildren<QTcpSocket*>()) socket->disconnectFromHost();
  }

  QList<QByteArray> requestLines;  // "GET /target HTTP/1.1"
  int connections = 0;

 private:
  void onData(QTcpSocket* socket) {
    QByteArray& buffer = buffers_[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) return;
    requestLines << buffer.left(buffer.indexOf("\r\n"));
    buffer.clear();
    if (silent_) return;
    if (raw_) {
      socket->write(*raw_);
      if (closeAfterRaw_) socket->disconnectFromHost();
      return;
    }
    const QByteArray reason = status_ == 200 ? "OK" : "Not Found";
    socket->write("HTTP/1.1 " + QByteArray::number(status_) + ' ' + reason +
                  "\r\nContent-Type: text/plain\r\nContent-Length: " +
                  QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_);
    socket->disconnectFromHost();
  }

  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> buffers_;
  int status_ = 200;
  QByteArray body_ = "OK";
  bool silent_ = false;
  std::optional<QByteArray> raw_;
  bool closeAfterRaw_ = true;
};

}  // namespace quorvalis::testing
