#include "server/request_target.h"

#include "server/http_wire.h"

#include "common/text.h"

namespace quorvalis {
namespace {

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool mustEncode(unsigned char b) {
  if (b <= 0x20 || b >= 0x7F) return true;
  switch (b) {
    case '"': case '#': case '<': case '>': case '\\':
    case '^': case '`': case '{': case '|': case '}':
      return true;
    default:
      return false;
  }
}

}  // namespace

QByteArray encodeRequestTarget(const QString& target) {
  const QByteArray bytes = toCp1252(target);
  QByteArray out;
  out.reserve(bytes.size() + 16);
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b == '%') {
      const bool escape = i + 2 < bytes.size() && isHex(bytes[i + 1]) && isHex(bytes[i + 2]);
      out += escape ? QByteArray("%") : QByteArray("%25");
    } else if (mustEncode(b)) {
      out += '%';
      out += QByteArray::number(b, 16).rightJustified(2, '0').toUpper();
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

QUrl centralServerUrl(const QString& host, const QString& target) {
  const auto [tls, authority] = splitScheme(host);
  return QUrl((tls ? QStringLiteral("https://") : QStringLiteral("http://")) + authority +
                  QString::fromLatin1(encodeRequestTarget(target)),
              QUrl::StrictMode);
}

}  // namespace quorvalis
