// Signed update programs. A head office signs each program with its Ed25519 secret key; the
// signature file beside the program on the server is a statement: which version, how many
// bytes, and for a rollback the one installed version it may replace. A terminal whose
// installation names the public key starts only a program whose statement verifies and admits
// the step from its installed version.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <optional>

namespace quorvalis {

// install.ini [update] key: the public key as one line of base64url; "" when none is configured.
QString configuredUpdateKey();

// The server path of an update program's statement, beside the program.
QString updateSignaturePath(const QString& version);

// The head office's names order by their letters, then their number ("F99" < "F108" < "G1");
// names of another form in text order. <0, 0, >0.
int compareVersions(const QString& a, const QString& b);

// The .sig file: four lines that are signed together with the program's bytes, then the
// signature.
struct UpdateStatement {
  QString version;
  qint64 length = -1;
  QString rollbackFrom;  // "" for a release
  QByteArray signature;  // base64url
  QByteArray text() const;
  static std::optional<UpdateStatement> parse(const QByteArray& text);
};

// Whether a branch at `installed` may take the statement's program as `version`: the statement
// names that version; a newer one is a release or a rollback from exactly the installed
// version; an older one only the latter, so neither an old release nor an old rollback can be
// replayed.
bool statementAdmits(const UpdateStatement& statement, const QString& version, const QString& installed);

// A new key pair as base64url lines: the secret key and the public key.
struct UpdateKeyPair {
  QByteArray secretKey, publicKey;
};
UpdateKeyPair makeUpdateKeyPair();

// The statement for the program file as that version; nullopt when the file or the key cannot
// be read.
std::optional<UpdateStatement> signUpdateProgram(const QString& file, const QString& version,
                                                 const QString& rollbackFrom, const QByteArray& secretKey);

// Whether the statement is the key's over its lines and exactly these bytes, read from the
// device's start to its end (the statement's length included).
bool verifyUpdateProgram(QIODevice& program, const UpdateStatement& statement, const QByteArray& publicKey);

}  // namespace quorvalis
