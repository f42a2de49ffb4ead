// A throw-away authority and a certificate for 127.0.0.1 for the benchmarks over TLS.
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

// Made with the openssl command in dir: ca.pem (the authority) and z.pem / z.key (the server's).
inline bool makeCertificates(const QString& dir) {
  const auto run = [&](const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start("openssl", args);
    return p.waitForFinished(30000) && p.exitCode() == 0;
  };
  QFile san(dir + "/san");
  return san.open(QIODevice::WriteOnly) && san.write("subjectAltName=IP:127.0.0.1\n") > 0 && (san.close(), true) &&
         run({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "1",
              "-subj", "/CN=Bench CA"}) &&
         run({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "z.key", "-out", "z.csr", "-subj", "/CN=zentrale"}) &&
         run({"x509", "-req", "-in", "z.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-out", "z.pem",
              "-days", "1", "-extfile", "san"});
}
