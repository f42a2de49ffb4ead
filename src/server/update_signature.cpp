#include "server/update_signature.h"

#include <sodium.h>

#include <QFile>

#include "server/central_server.h"
#include "settings/settings_files.h"

namespace quorvalis {
namespace {

const unsigned char* bytes(const QByteArray& b) {
  return reinterpret_cast<const unsigned char*>(b.constData());
}

// Ed25519ph over the version line and the file in pieces: a large program is never held whole.
bool hashUpdate(crypto_sign_state* state, const QString& file, const QString& version) {
  QFile in(file);
  if (sodium_init() < 0 || !in.open(QIODevice::ReadOnly)) return false;
  crypto_sign_init(state);
  const QByteArray head = "quorvalis update\n" + version.toUtf8() + '\n';
  crypto_sign_update(state, bytes(head), static_cast<unsigned long long>(head.size()));
  QByteArray chunk;
  while (!(chunk = in.read(1 << 16)).isEmpty())
    crypto_sign_update(state, bytes(chunk), static_cast<unsigned long long>(chunk.size()));
  return in.error() == QFileDevice::NoError;
}

// Keys and signatures are base64url: no "/" or "+", so a key passes through an installer's
// command line ("/UPDATEKEY=...") and a URL as it stands.
constexpr auto kBase64 = QByteArray::Base64UrlEncoding;

QByteArray decoded(const QByteArray& base64, qsizetype size) {
  const auto result = QByteArray::fromBase64Encoding(base64.trimmed(), kBase64 | QByteArray::AbortOnBase64DecodingErrors);
  return result && result.decoded.size() == size ? result.decoded : QByteArray();
}

}  // namespace

QString configuredUpdateKey() { return readSetting(keys::kUpdateKey).trimmed(); }

QString updateSignaturePath(const QString& version) {
  return QStringLiteral("/quorvalis/update/") + version + QStringLiteral(".exe.sig");
}

UpdateKeyPair makeUpdateKeyPair() {
  if (sodium_init() < 0) return {};
  QByteArray pk(crypto_sign_PUBLICKEYBYTES, '\0'), sk(crypto_sign_SECRETKEYBYTES, '\0');
  crypto_sign_keypair(reinterpret_cast<unsigned char*>(pk.data()),
                      reinterpret_cast<unsigned char*>(sk.data()));
  UpdateKeyPair pair{sk.toBase64(kBase64), pk.toBase64(kBase64)};
  sodium_memzero(sk.data(), static_cast<size_t>(sk.size()));
  return pair;
}

QByteArray signUpdateProgram(const QString& file, const QString& version, const QByteArray& secretKey) {
  QByteArray sk = decoded(secretKey, crypto_sign_SECRETKEYBYTES);
  crypto_sign_state state;
  QByteArray signature(crypto_sign_BYTES, '\0');
  const bool ok = !sk.isEmpty() && hashUpdate(&state, file, version) &&
                  crypto_sign_final_create(&state, reinterpret_cast<unsigned char*>(signature.data()),
                                           nullptr, bytes(sk)) == 0;
  sodium_memzero(sk.data(), static_cast<size_t>(sk.size()));
  return ok ? signature.toBase64(kBase64) : QByteArray();
}

bool verifyUpdateProgram(const QString& file, const QString& version, const QByteArray& publicKey,
                         const QByteArray& signature) {
  const QByteArray pk = decoded(publicKey, crypto_sign_PUBLICKEYBYTES);
  QByteArray sig = decoded(signature, crypto_sign_BYTES);
  crypto_sign_state state;
  return !pk.isEmpty() && !sig.isEmpty() && hashUpdate(&state, file, version) &&
         crypto_sign_final_verify(&state, reinterpret_cast<unsigned char*>(sig.data()), bytes(pk)) == 0;
}

bool updateProgramTrusted(CentralServer& server, const QString& file, const QString& version) {
  const QString key = configuredUpdateKey();
  if (key.isEmpty()) return true;
  const QString signature = server.get(updateSignaturePath(version));
  return verifyUpdateProgram(file, version, key.toLatin1(), signature.toLatin1());
}

}  // namespace quorvalis
