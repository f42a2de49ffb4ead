// Private-profile INI files, read and written the way the branch PCs' profile functions do.
#pragma once

#include <QString>

namespace quorvalis {

// The value of key in the first section named section (both compared case-insensitively),
// blanks and tabs around it trimmed, one matching pair of outer quotes removed, cut to 1023
// characters. A missing file, section or key gives def; a key with an empty value gives "".
QString IniRead(const QString& file, const QString& section, const QString& key,
                const QString& def);

// Sets key in section, keeping every other byte of the file as it was. Creates a missing file
// or section; a missing folder or a refused write is silent. The file is replaced atomically.
void IniWrite(const QString& file, const QString& section, const QString& key,
              const QString& value);

// The same rules on a file's bytes, without the disk.
QString iniReadText(const QByteArray& bytes, const QString& section, const QString& key,
                    const QString& def);
// Whether the bytes hold a section of that name, by the same rules as reading.
bool iniHasSection(const QByteArray& bytes, const QString& section);
QByteArray iniWriteText(const QByteArray& bytes, const QString& section, const QString& key,
                        const QString& value);

}  // namespace quorvalis
