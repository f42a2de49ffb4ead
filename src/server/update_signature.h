// Signed update programs: a head office signs each program with its Ed25519 secret key; a
// terminal whose installation names the public key starts only a program whose signature
// verifies. The signature covers the version name and the program's bytes, so one version's
// signature cannot pass for another's.
#pragma once

#include <QByteArray>
#include <QString>

namespace quorvalis {

class CentralServer;

// install.ini [update] key: the public key as one line of base64url; "" when none is configured.
QString configuredUpdateKey();

// The server path of an update program's signature, beside the program.
QString updateSignaturePath(const QString& version);

// A new key pair as base64url lines: the secret key and the public key.
struct UpdateKeyPair {
  QByteArray secretKey, publicKey;
};
UpdateKeyPair makeUpdateKeyPair();

// The signature (one line of base64url) of the program file for that version; "" when the file
// or the key cannot be read.
QByteArray signUpdateProgram(const QString& file, const QString& version, const QByteArray& secretKey);

// Whether the base64url signature is the key's over that version and the file's bytes.
bool verifyUpdateProgram(const QString& file, const QString& version, const QByteArray& publicKey,
                         const QByteArray& signature);

// Whether the downloaded program may be started: without a configured key always (as before
// signatures); with one, only when the signature beside it on the server verifies.
bool updateProgramTrusted(CentralServer& server, const QString& file, const QString& version);

}  // namespace quorvalis
