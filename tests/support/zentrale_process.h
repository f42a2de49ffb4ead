// Starts the development central server on a free loopback port with a fresh database.
#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace quorvalis::testing {

class ZentraleProcess {
 public:
  // With its faults on purpose (/_fault).
  explicit ZentraleProcess(const QStringList& extraArgs = {QStringLiteral("--seed-demo")});
  ~ZentraleProcess();

  bool started() const { return port_ > 0; }
  QString host() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
  int port() const { return port_; }
  QString dataDir() const { return data_.path(); }

  // Rows of a query against the server's database (values as UTF-8 text).
  QList<QStringList> query(const QString& sql) const;

 private:
  QTemporaryDir data_;
  QProcess process_;
  int port_ = 0;
};

}  // namespace quorvalis::testing
