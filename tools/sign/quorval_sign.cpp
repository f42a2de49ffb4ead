// quorval-sign: the head office's signing of update programs.
//   quorval-sign keygen DIR                          DIR/update.key (secret, owner only), DIR/update.pub
//   quorval-sign sign KEY F108.exe                   F108.exe.sig beside the program: release F108
//   quorval-sign sign --rollback-from F108 KEY F107.exe   F107 for branches at F108 only
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <string_view>

#include "platform/file_write.h"
#include "server/branch_configuration.h"
#include "server/update_signature.h"

using namespace quorvalis;

namespace {

// --help prints it on standard output and succeeds; a wrong command line gets it on stderr.
int usage(std::FILE* out = stderr) {
  std::fputs(
      "usage: quorval-sign keygen DIR\n"
      "       quorval-sign sign [--rollback-from VERSION] KEYFILE PROGRAM.exe\n"
      "keygen writes DIR/update.key, the secret key (keep it at the head office, readable by its\n"
      "owner only), and DIR/update.pub, the line for install.ini [update] key.\n"
      "sign writes PROGRAM.exe.sig: the statement of the version (the file's name without .exe),\n"
      "the program's length and its bytes, signed. A terminal takes a version older than its own\n"
      "only when it was signed with --rollback-from naming exactly the installed version.\n",
      out);
  return out == stdout ? 0 : 2;
}

int keygen(const QString& dir) {
  const QString secret = dir + "/update.key", pub = dir + "/update.pub";
  const UpdateKeyPair pair = makeUpdateKeyPair();
  QFile key(secret);
  // New only (an existing file or link is refused, never followed) and owner-only from its
  // creation, before the secret goes in; on Windows Qt makes the permissions an owner-only ACL.
  if (pair.secretKey.isEmpty() || !QDir().mkpath(dir) ||
      !key.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner)) {
    std::fprintf(stderr, "quorval-sign: %s exists or cannot be created; not replaced\n", qPrintable(secret));
    return 1;
  }
  if (key.write(pair.secretKey + '\n') < 0 || !key.flush() || !writeFileAtomically(pub, pair.publicKey + '\n')) {
    std::fprintf(stderr, "quorval-sign: cannot write the keys into %s\n", qPrintable(dir));
    return 1;
  }
  std::printf("%s\n", pair.publicKey.constData());
  return 0;
}

int sign(const QString& keyFile, const QString& program, const QString& rollbackFrom) {
  QFile key(keyFile);
  const QFileInfo info(program);
  const QString version = info.completeBaseName();
  if (!key.open(QIODevice::ReadOnly) || info.suffix().compare("exe", Qt::CaseInsensitive) != 0 ||
      !isVersionName(version) || (!rollbackFrom.isEmpty() && !isVersionName(rollbackFrom)))
    return usage();
  if (!rollbackFrom.isEmpty() && compareVersions(version, rollbackFrom) >= 0)
    std::fprintf(stderr, "quorval-sign: note: %s is not older than %s\n", qPrintable(version), qPrintable(rollbackFrom));
  const auto statement = signUpdateProgram(program, version, rollbackFrom, key.readAll());
  if (!statement || !writeFileAtomically(program + ".sig", statement->text())) {
    std::fprintf(stderr, "quorval-sign: cannot sign %s\n", qPrintable(program));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything else: help2man makes the manual page from them.
  if (argc == 2 && std::string_view(argv[1]) == "--help") return usage(stdout);
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("quorval-sign %s\n", QUORVALIS_VERSION);
    return 0;
  }
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 2 && args[0] == "keygen") return keygen(args[1]);
  if (args.size() == 3 && args[0] == "sign") return sign(args[1], args[2], {});
  if (args.size() == 5 && args[0] == "sign" && args[1] == "--rollback-from") return sign(args[3], args[4], args[2]);
  return usage();
}
