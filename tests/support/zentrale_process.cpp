#include "zentrale_process.h"

#include <sqlite3.h>

#include <QFile>
#include <QRegularExpression>

namespace quorvalis::testing {

ZentraleProcess::ZentraleProcess(const QStringList& extraArgs) {
  QStringList args{QStringLiteral("--data"), data_.path(), QStringLiteral("--port"),
                   QStringLiteral("0")};
  args += extraArgs;
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

QList<QByteArray> ZentraleProcess::requestLog() const {
  QFile log(data_.filePath(QStringLiteral("requests.log")));
  if (!log.open(QIODevice::ReadOnly)) return {};
  QList<QByteArray> lines = log.readAll().split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

QList<QStringList> ZentraleProcess::query(const QString& sql) const {
  QList<QStringList> rows;
  sqlite3* db = nullptr;
  const QByteArray file = data_.filePath(QStringLiteral("zentrale.sqlite")).toUtf8();
  if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return rows;
  }
  sqlite3_busy_timeout(db, 5000);
  sqlite3_stmt* stmt = nullptr;
  const QByteArray text = sql.toUtf8();
  if (sqlite3_prepare_v2(db, text.constData(), -1, &stmt, nullptr) == SQLITE_OK) {
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      QStringList row;
      for (int c = 0; c < sqlite3_column_count(stmt); ++c)
        row << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
      rows << row;
    }
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return rows;
}

}  // namespace quorvalis::testing
