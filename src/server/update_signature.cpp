#include "server/update_signature.h"

#include <sodium.h>

#include <QFile>
#include <QRegularExpression>

#include "settings/settings_files.h"

namespace quorvalis {
namespace {

const unsigned char* bytes(const QByteArray& b) {
  return reinterpret_cast<const unsigned char*>(b.constData());
}

constexpr char kFormat[] = "quorvalis update 2";

// The lines the signature covers before the program's bytes.
QByteArray signedHead(const UpdateStatement& s) {
  return QByteArray(kFormat) + "\nversion=" + s.version.toUtf8() + "\nlength=" + QByteArray::number(s.length) +
         "\nrollback-from=" + s.rollbackFrom.toUtf8() + '\n';
}

// Ed25519ph over the head and the program in pieces: a large program is never held whole. False
// when the device's bytes are not exactly the statement's length.
bool hashUpdate(crypto_sign_state* state, QIODevice& in, const UpdateStatement& s) {
  if (sodium_init() < 0 || !in.isReadable() || !in.seek(0)) return false;
  crypto_sign_init(state);
  const QByteArray head = signedHead(s);
  crypto_sign_update(state, bytes(head), static_cast<unsigned long long>(head.size()));
  qint64 total = 0;
  QByteArray chunk;
  while (!(chunk = in.read(1 << 16)).isEmpty()) {
    total += chunk.size();
    if (total > s.length) return false;
    crypto_sign_update(state, bytes(chunk), static_cast<unsigned long long>(chunk.size()));
  }
  return total == s.length;
}

// Keys and signatures are base64url: no "/" or "+", so a key passes through an installer's
// command line ("/UPDATEKEY=...") and a URL as it stands.
constexpr auto kBase64 = QByteArray::Base64UrlEncoding;

QByteArray decoded(const QByteArray& base64, qsizetype size) {
  const auto result = QByteArray::fromBase64Encoding(base64.trimmed(), kBase64 | QByteArray::AbortOnBase64DecodingErrors);
  return result && result.decoded.size() == size ? result.decoded : QByteArray();
}

// "F108" -> ("F", "108"); nullopt for names of another form.
std::optional<std::pair<QString, QString>> split(const QString& name) {
  static const QRegularExpression form(QStringLiteral("^([A-Za-z]*)0*([0-9]+)$"));
  const auto m = form.match(name);
  if (!m.hasMatch()) return std::nullopt;
  return std::pair{m.captured(1), m.captured(2)};
}

}  // namespace

QString configuredUpdateKey() { return readSetting(keys::kUpdateKey).trimmed(); }

QString updateSignaturePath(const QString& version) {
  return QStringLiteral("/quorvalis/update/") + version + QStringLiteral(".exe.sig");
}

int compareVersions(const QString& a, const QString& b) {
  const auto x = split(a), y = split(b);
  if (!x || !y) return a.compare(b);
  if (const int letters = x->first.compare(y->first)) return letters;
  // Digits of any length: the longer number is the larger, then text order.
  if (x->second.size() != y->second.size()) return x->second.size() < y->second.size() ? -1 : 1;
  return x->second.compare(y->second);
}

QByteArray UpdateStatement::text() const { return signedHead(*this) + "signature=" + signature + '\n'; }

std::optional<UpdateStatement> UpdateStatement::parse(const QByteArray& text) {
  QList<QByteArray> lines = text.trimmed().split('\n');
  for (QByteArray& line : lines) line = line.trimmed();
  if (lines.size() != 5 || lines[0] != kFormat) return std::nullopt;
  const char* keys[] = {"version=", "length=", "rollback-from=", "signature="};
  QByteArray values[4];
  for (int i = 0; i < 4; ++i) {
    if (!lines[i + 1].startsWith(keys[i])) return std::nullopt;
    values[i] = lines[i + 1].mid(qsizetype(qstrlen(keys[i])));
  }
  bool number = false;
  const qint64 length = values[1].toLongLong(&number);
  if (!number || length < 0 || values[0].isEmpty()) return std::nullopt;
  return UpdateStatement{QString::fromUtf8(values[0]), length, QString::fromUtf8(values[2]), values[3]};
}

bool statementAdmits(const UpdateStatement& s, const QString& version, const QString& installed) {
  if (s.version != version || version == installed) return false;
  if (!s.rollbackFrom.isEmpty()) return s.rollbackFrom == installed;
  return compareVersions(version, installed) > 0;
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

std::optional<UpdateStatement> signUpdateProgram(const QString& file, const QString& version,
                                                 const QString& rollbackFrom, const QByteArray& secretKey) {
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
  UpdateStatement s{version, in.size(), rollbackFrom, {}};
  QByteArray sk = decoded(secretKey, crypto_sign_SECRETKEYBYTES);
  crypto_sign_state state;
  QByteArray signature(crypto_sign_BYTES, '\0');
  const bool ok = !sk.isEmpty() && hashUpdate(&state, in, s) &&
                  crypto_sign_final_create(&state, reinterpret_cast<unsigned char*>(signature.data()),
                                           nullptr, bytes(sk)) == 0;
  sodium_memzero(sk.data(), static_cast<size_t>(sk.size()));
  if (!ok) return std::nullopt;
  s.signature = signature.toBase64(kBase64);
  return s;
}

bool verifyUpdateProgram(QIODevice& program, const UpdateStatement& s, const QByteArray& publicKey) {
  const QByteArray pk = decoded(publicKey, crypto_sign_PUBLICKEYBYTES);
  QByteArray sig = decoded(s.signature, crypto_sign_BYTES);
  crypto_sign_state state;
  return !pk.isEmpty() && !sig.isEmpty() && hashUpdate(&state, program, s) &&
         crypto_sign_final_verify(&state, reinterpret_cast<unsigned char*>(sig.data()), bytes(pk)) == 0;
}

}  // namespace quorvalis
