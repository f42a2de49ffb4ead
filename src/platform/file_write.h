#pragma once

#include <QByteArray>
#include <QString>

namespace quorvalis {

// Replaces a whole file so that a power cut leaves the old or the new content, never half:
// a temporary file beside it is written, synced to disk and renamed over the old one.
// False (and the old file untouched) when the folder is missing or the disk refuses.
bool writeFileAtomically(const QString& path, const QByteArray& bytes);

// Appends bytes and syncs them to disk before returning; false when that did not happen.
bool appendDurably(const QString& path, const QByteArray& bytes);

}  // namespace quorvalis
