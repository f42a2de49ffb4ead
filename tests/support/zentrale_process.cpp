#include "zentrale_process.h"

#include <QRegularExpression>

namespace quorvalis::testing {

ZentraleProcess::ZentraleProcess(const QStringList& extraArgs) {
  const QStringList args = QStringList{"--data", data_.path(), "--port", "0", "--faults"} + extraArgs;
  process_.setProcessChannelMode(QProcess::SeparateChannels);
  process_.start(QStringLiteral(ZENTRALE_BINARY), args);
  if (!process_.waitForStarted(10000)) return;
  // The first line names the port it took.
  QByteArray out;
  while (!out.contains('\n') && process_.waitForReadyRead(10000)) out += process_.readAllStandardOutput();
  const auto match = QRegularExpression(QStringLiteral(":(\\d+)\\s*$"))
                         .match(QString::fromLatin1(out.left(out.indexOf('\n'))));
  if (match.hasMatch()) port_ = match.captured(1).toInt();
}

ZentraleProcess::~ZentraleProcess() {
  process_.terminate();
  if (!process_.waitForFinished(5000)) process_.kill();
  process_.waitForFinished(5000);
}

// Through the sqlite3 shell, read-only: the server may be writing meanwhile.
QList<QStringList> ZentraleProcess::query(const QString& sql) const {
  QProcess shell;
  const QString file = data_.filePath(QStringLiteral("zentrale.sqlite"));
  shell.start(QStringLiteral("sqlite3"), {"-readonly", "-cmd", ".timeout 5000", file, sql});
  QList<QStringList> rows;
  if (!shell.waitForFinished(10000)) return rows;
  const QString out = QString::fromUtf8(shell.readAllStandardOutput());
  for (QString line : out.split(u'\n', Qt::SkipEmptyParts)) {
    if (line.endsWith(u'\r')) line.chop(1);  // the Windows shell ends its lines with CR LF
    rows << line.split(u'|');
  }
  return rows;
}

}  // namespace quorvalis::testing
