#include "server/branch_configuration.h"

#include <QRegularExpression>

#include <QFile>

#include "common/text.h"
#include "platform/file_write.h"
#include "platform/program_folder.h"
#include "settings/ini.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

const QString kData = QStringLiteral("/quorvalis/DATA/");

// A downloaded file is written whole, as one printed line.
bool writeDownloaded(const QString& name, const QString& reply) {
  ensureProgramFolder();
  return writeFileAtomically(programFile(name), toCp1252(reply + QStringLiteral("\r\n")));
}

}  // namespace

QString branchLookupPath(const QString& branchId) { return kData + "filiale.cgi?" + branchId; }

BranchInfo parseBranchReply(const QString& reply) {
  BranchInfo info;
  if (reply.trimmed() == QStringLiteral("-")) {  // unknown branch: no directory
    info.answered = true;
    return info;
  }
  // Anything but the four fields is no answer: a page that is not the script's must not
  // become the branch directory.
  const QStringList f = reply.split(u';');
  if (f.size() < 4) return info;
  info.answered = true;
  info.directory = restoreBlanks(f.value(0)).trimmed();
  info.displayName = restoreBlanks(f.value(1));
  info.branchName = restoreBlanks(f.value(2));
  info.postcode = restoreBlanks(f.value(3)).trimmed();
  return info;
}

bool isUsableFileReply(const QString& reply) {
  return !reply.isEmpty() && !reply.contains(QStringLiteral("File Not"));
}

bool hasSection(const QString& reply, const char* section) {
  return iniHasSection(toCp1252(reply), QString::fromLatin1(section));
}

Download downloadBranchConfiguration(CentralServer& server, const QString& directory,
                                     const QString& fileNumber) {
  // Without a directory the server has not told us where the branch's files are.
  if (directory.isEmpty()) return Download::kNoAnswer;
  // Only a file with the branch settings in it replaces the one the terminal has.
  const auto usable = [](const QString& reply) {
    return isUsableFileReply(reply) && hasSection(reply, "clients");
  };
  const QString numbered = server.get(kData + directory + "/filialen/" + fileNumber + ".ini");
  if (usable(numbered) && writeDownloaded(files::kFilial, numbered)) return Download::kWritten;
  const QString common = server.get(kData + directory + "/filial.ini");
  if (usable(common) && writeDownloaded(files::kFilial, common)) return Download::kWritten;
  // Only when the server says both files are missing is the old one gone; a silent or broken
  // answer keeps it.
  const QString notFound = QStringLiteral("File Not");
  if (!numbered.contains(notFound) || !common.contains(notFound)) return Download::kNoAnswer;
  QFile::remove(programFile(files::kFilial));
  return Download::kNotFound;
}

Download downloadTickerSettings(CentralServer& server, const QString& directory) {
  if (directory.isEmpty()) return Download::kNoAnswer;
  const QString reply = server.get(kData + directory + "/rss.ini");
  if (reply.isEmpty()) return Download::kNoAnswer;
  if (!isUsableFileReply(reply)) {
    QFile::remove(programFile(files::kRss));
    return Download::kNotFound;
  }
  if (!hasSection(reply, "rss")) return Download::kNoAnswer;
  return writeDownloaded(files::kRss, reply) ? Download::kWritten : Download::kNoAnswer;
}

QString unscramblePassword(const QString& pass) {
  if (pass.size() < 3) return {};
  const QByteArray bytes = toCp1252(pass);
  const int a = static_cast<int>(readNumber(QString(pass.front())));
  const int b = static_cast<int>(readNumber(pass.right(2)));
  QByteArray plain;
  for (qsizetype i = 1; i < bytes.size() - 2; ++i) {
    const int code = static_cast<unsigned char>(bytes[i]) + static_cast<int>(i) - a - b;
    if (code > 0 && code < 256) plain += static_cast<char>(code);
  }
  return fromCp1252(plain.mid(9));
}

bool isVersionName(const QString& text) {
  static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9._-]{1,15}$"));
  // "." and ".." would name the program folder and its parent.
  return name.match(text).hasMatch() && text != u"." && text != u"..";
}

UpdateCheck checkVersionReply(const QString& reply, const QString& installed) {
  // The reply becomes a file name: anything but a plain name is no reply.
  if (!isVersionName(reply)) return UpdateCheck::kNoReply;
  return reply == installed ? UpdateCheck::kCurrent : UpdateCheck::kNewer;
}

QString updateProgramPath(const QString& version) {
  return QStringLiteral("/quorvalis/update/") + version + ".exe";
}

QString updateProgramFile(const QString& version) {
  return programFolder() + QStringLiteral("/ ") + version + ".exe";
}

}  // namespace quorvalis
