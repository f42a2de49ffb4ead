// A loopback HTTP server on the test's own thread: records request lines byte for byte and
// answers as the test says, or never.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

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
    answerRaw("HTTP/1.1 " + QByteArray::number(status) + (status == 200 ? " OK" : " Not Found") +
                  "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body, true);
  }
  void neverAnswer() { silent_ = true; }
  // Announces a body of size bytes and sends one byte of it every 20 ms: never silent, never done.
  void trickle(qint64 size) {
    answerRaw("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(size) + "\r\n\r\n", false);
    trickle_ = true;
  }
  // These bytes as the whole answer; the connection stays open unless close.
  void answerRaw(const QByteArray& bytes, bool close) {
    raw_ = bytes;  // "": closed without a word
    closeAfterRaw_ = close;
    silent_ = false;
    trickle_ = false;
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
    socket->write(raw_);
    if (closeAfterRaw_) socket->disconnectFromHost();
    if (trickle_) {
      auto* drip = new QTimer(socket);
      QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write("x"); });
      drip->start(20);
    }
  }

  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> buffers_;
  bool silent_ = false;
  QByteArray raw_ = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";
  bool closeAfterRaw_ = true;
  bool trickle_ = false;
};

}  // namespace quorvalis::testing
