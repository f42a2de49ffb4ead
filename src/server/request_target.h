#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace quorvalis {

// The request text as Windows-1252 bytes with only what cannot stand in a request line
// percent-encoded: controls, blank, bytes >= 0x7F and " # < > \ ^ ` { | }. A "%" followed
// by two hex digits stays ("%20" reaches the server as "%20"); any other "%" becomes "%25".
QByteArray encodeRequestTarget(const QString& target);

// http:// + host + the encoded target, parsed strictly: tolerant parsing would re-encode a
// "%20" as "%2520".
QUrl centralServerUrl(const QString& host, const QString& target);

}  // namespace quorvalis
