// quorval-sign: the head office's signing of update programs.
//   quorval-sign keygen DIR           DIR/update.key (secret, owner only), DIR/update.pub
//   quorval-sign sign KEY F107.exe    F107.exe.sig beside the program, for version F107
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "platform/file_write.h"
#include "server/update_signature.h"

using namespace quorvalis;

namespace {

int usage() {
  std::fputs(
      "usage: quorval-sign keygen DIR\n"
      "       quorval-sign sign KEYFILE PROGRAM.exe\n"
      "keygen writes DIR/update.key, the secret key (keep it at the head office, readable by its\n"
      "owner only), and DIR/update.pub, the line for install.ini [update] key.\n"
      "sign writes PROGRAM.exe.sig: the signature over the version (the file's name without\n"
      ".exe) and the program's bytes.\n",
      stderr);
  return 2;
}

int keygen(const QString& dir) {
  const QString secret = dir + "/update.key", pub = dir + "/update.pub";
  if (QFile::exists(secret)) {
    std::fprintf(stderr, "quorval-sign: %s exists; not replaced\n", qPrintable(secret));
    return 1;
  }
  const UpdateKeyPair pair = makeUpdateKeyPair();
  QFile key(secret);
  // Created readable by its owner only before the secret goes in.
  if (pair.secretKey.isEmpty() || !QDir().mkpath(dir) || !key.open(QIODevice::WriteOnly) ||
      !key.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || key.write(pair.secretKey + '\n') < 0 ||
      !key.flush() || !writeFileAtomically(pub, pair.publicKey + '\n')) {
    std::fprintf(stderr, "quorval-sign: cannot write the keys into %s\n", qPrintable(dir));
    return 1;
  }
  std::printf("%s\n", pair.publicKey.constData());
  return 0;
}

int sign(const QString& keyFile, const QString& program) {
  QFile key(keyFile);
  const QFileInfo info(program);
  if (!key.open(QIODevice::ReadOnly) || info.suffix().compare("exe", Qt::CaseInsensitive) != 0) return usage();
  const QByteArray signature = signUpdateProgram(program, info.completeBaseName(), key.readAll());
  if (signature.isEmpty() || !writeFileAtomically(program + ".sig", signature + '\n')) {
    std::fprintf(stderr, "quorval-sign: cannot sign %s\n", qPrintable(program));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 2 && args[0] == "keygen") return keygen(args[1]);
  if (args.size() == 3 && args[0] == "sign") return sign(args[1], args[2]);
  return usage();
}
