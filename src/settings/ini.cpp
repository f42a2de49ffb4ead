#include "settings/ini.h"

#include <QFile>
#include <vector>

#include "common/text.h"
#include "platform/file_write.h"

namespace quorvalis {
namespace {

constexpr qsizetype kMaxValue = 1023;

// Blanks around names and values in the file: space, tab and vertical tab, as on Windows.
bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\v'; }

// The default comes back as Windows hands it out: trailing spaces gone, cut to the buffer.
QString windowsDefault(QString def) {
  while (def.endsWith(u' ')) def.chop(1);
  return def.left(kMaxValue);
}

// The section and key names a caller passes lose their spaces (not tabs), as on Windows.
QString trimSpaces(const QString& s) {
  qsizetype begin = 0, end = s.size();
  while (begin < end && s[begin] == u' ') ++begin;
  while (end > begin && s[end - 1] == u' ') --end;
  return s.mid(begin, end - begin);
}

// A line of the file as views into its bytes; a rewritten or added line owns its text.
struct Line {
  enum Kind { kOther, kSection, kKey };
  QByteArrayView text;  // without the line break
  QByteArrayView eol;   // CR LF, LF, CR, or empty for a last line without one
  Kind kind = kOther;
  QByteArrayView name;  // section or key name, trimmed
  QByteArray owned;     // replaces text when set
};

// The structure (blanks, ";", "[", "]", "=") is ASCII and Windows-1252 maps every byte to one
// character, so lines are classified on their bytes and a name is decoded only to compare it.
QByteArrayView trimBlankBytes(QByteArrayView v) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
  while (!v.isEmpty() && blank(v.front())) v = v.sliced(1);
  while (!v.isEmpty() && blank(v.back())) v.chop(1);
  return v;
}

Line classify(QByteArrayView text, QByteArrayView eol) {
  Line line;
  line.text = text;
  line.eol = eol;
  const QByteArrayView s = trimBlankBytes(text);
  if (s.startsWith(';')) return line;
  if (s.startsWith('[')) {
    const qsizetype close = s.indexOf(']');
    line.kind = Line::kSection;
    line.name = trimBlankBytes(close < 0 ? s.sliced(1) : s.sliced(1, close - 1));
    return line;
  }
  const qsizetype eq = s.indexOf('=');
  if (eq <= 0) return line;
  line.name = trimBlankBytes(s.first(eq));
  if (!line.name.isEmpty()) line.kind = Line::kKey;
  return line;
}

// Lines end at CR LF, LF or a lone CR alike, as on Windows: a file saved with odd line ends
// must not merge its keys into one line.
std::vector<Line> parse(QByteArrayView bytes) {
  std::vector<Line> lines;
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    qsizetype next = end;
    if (next < bytes.size() && bytes[next] == '\r') ++next;
    if (next < bytes.size() && bytes[next] == '\n') ++next;
    lines.push_back(classify(bytes.sliced(start, end - start), bytes.sliced(end, next - end)));
    start = next;
  }
  return lines;
}

// Case-insensitive as Windows compares names; one byte is one character, so a name of another
// length is never decoded.
bool sameName(QByteArrayView name, const QString& wanted) {
  return name.size() == wanted.size() &&
         fromCp1252(name.toByteArray()).compare(wanted, Qt::CaseInsensitive) == 0;
}

QString unquote(const QString& v) {
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
    return v.mid(1, v.size() - 2);
  return v;
}

}  // namespace

// Reading is the hot path (every screen reads its settings): the file is decoded once and
// scanned in place; only the value found is copied.
QString iniReadText(const QByteArray& bytes, const QString& sectionName, const QString& keyName,
                    const QString& givenDefault) {
  const QString def = windowsDefault(givenDefault);
  const QString section = trimSpaces(sectionName), key = trimSpaces(keyName);
  const QString text = fromCp1252(bytes);
  const QStringView all(text);
  const auto trimmed = [](QStringView v) {
    while (!v.isEmpty() && isBlank(v.front())) v = v.mid(1);
    while (!v.isEmpty() && isBlank(v.back())) v.chop(1);
    return v;
  };
  bool inSection = false;
  qsizetype start = 0;
  while (start < all.size()) {
    qsizetype end = start;
    while (end < all.size() && all[end] != u'\r' && all[end] != u'\n') ++end;
    const QStringView line = trimmed(all.mid(start, end - start));
    if (end < all.size() && all[end] == u'\r') ++end;
    if (end < all.size() && all[end] == u'\n') ++end;
    start = end;
    if (line.startsWith(u';')) continue;
    if (line.startsWith(u'[')) {
      if (inSection) return def;  // the first section of that name ended without the key
      const qsizetype close = line.indexOf(u']');
      inSection = trimmed(close < 0 ? line.mid(1) : line.mid(1, close - 1))
                      .compare(section, Qt::CaseInsensitive) == 0;
      continue;
    }
    if (!inSection) continue;
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0) continue;
    const QStringView name = trimmed(line.left(eq));
    if (name.isEmpty() || name.compare(key, Qt::CaseInsensitive) != 0) continue;
    return unquote(trimmed(line.mid(eq + 1)).toString()).left(kMaxValue);
  }
  return def;
}

bool iniHasSection(const QByteArray& bytes, const QString& sectionName) {
  const QString section = trimSpaces(sectionName);
  for (const Line& line : parse(bytes))
    if (line.kind == Line::kSection && sameName(line.name, section)) return true;
  return false;
}

QString IniRead(const QString& file, const QString& section, const QString& key,
                const QString& def) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return windowsDefault(def);
  return iniReadText(f.readAll(), section, key, def);
}

QByteArray iniWriteText(const QByteArray& bytes, const QString& sectionName, const QString& keyName,
                        const QString& value) {
  const QString section = trimSpaces(sectionName), key = trimSpaces(keyName);
  const QByteArray crlf = "\r\n";
  std::vector<Line> lines = parse(bytes);
  qsizetype sec = -1;
  for (size_t i = 0; i < lines.size() && sec < 0; ++i)
    if (lines[i].kind == Line::kSection && sameName(lines[i].name, section)) sec = static_cast<qsizetype>(i);

  if (sec < 0) {
    QByteArray out = bytes;
    if (!out.isEmpty() && !out.endsWith('\n') && !out.endsWith('\r')) out += crlf;
    return out + '[' + toCp1252(section) + ']' + crlf + toCp1252(key) + '=' + toCp1252(value) + crlf;
  }

  size_t insertAfter = static_cast<size_t>(sec);
  bool replaced = false;
  for (size_t i = static_cast<size_t>(sec) + 1; i < lines.size(); ++i) {
    Line& line = lines[i];
    if (line.kind == Line::kSection) break;
    if (line.kind != Line::kKey) continue;
    if (sameName(line.name, key)) {
      line.owned = line.name.toByteArray() + '=' + toCp1252(value);
      if (line.eol.isEmpty()) line.eol = crlf;  // a rewritten last line ends like every other
      replaced = true;
      break;
    }
    insertAfter = i;
  }
  if (!replaced) {
    if (lines[insertAfter].eol.isEmpty()) lines[insertAfter].eol = crlf;
    Line added;
    added.owned = toCp1252(key) + '=' + toCp1252(value);
    added.eol = crlf;
    lines.insert(lines.begin() + static_cast<qsizetype>(insertAfter) + 1, added);
  }
  QByteArray out;
  out.reserve(bytes.size() + key.size() + value.size() + 4);
  for (const Line& line : lines) {
    if (line.owned.isNull()) out += line.text;
    else out += line.owned;
    out += line.eol;
  }
  return out;
}

void IniWrite(const QString& file, const QString& section, const QString& key,
              const QString& value) {
  QByteArray bytes;
  {
    QFile f(file);
    if (f.exists() && !f.open(QIODevice::ReadOnly)) return;  // unreadable: never clobber it
    if (f.isOpen()) bytes = f.readAll();
  }
  writeFileAtomically(file, iniWriteText(bytes, section, key, value));
}

}  // namespace quorvalis
