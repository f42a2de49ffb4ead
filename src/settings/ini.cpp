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

QString trimBlanks(const QString& s) {
  qsizetype begin = 0, end = s.size();
  while (begin < end && isBlank(s[begin])) ++begin;
  while (end > begin && isBlank(s[end - 1])) --end;
  return s.mid(begin, end - begin);
}

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

struct Line {
  enum Kind { kOther, kSection, kKey };
  QByteArray text;  // without the line break
  QByteArray eol;   // "\r\n", "\n" or "" for a last line without one
  Kind kind = kOther;
  QString name;     // section or key name, trimmed
  QString value;    // key value, trimmed, quotes still on
};

Line classify(const QByteArray& text, const QByteArray& eol) {
  Line line;
  line.text = text;
  line.eol = eol;
  const QString s = trimBlanks(fromCp1252(text));
  if (s.startsWith(u';')) return line;
  if (s.startsWith(u'[')) {
    const qsizetype close = s.indexOf(u']');
    line.kind = Line::kSection;
    line.name = trimBlanks(close < 0 ? s.mid(1) : s.mid(1, close - 1));
    return line;
  }
  const qsizetype eq = s.indexOf(u'=');
  if (eq <= 0) return line;
  line.name = trimBlanks(s.left(eq));
  if (line.name.isEmpty()) return line;
  line.kind = Line::kKey;
  line.value = trimBlanks(s.mid(eq + 1));
  return line;
}

// Lines end at CR LF, LF or a lone CR alike, as on Windows: a file saved with odd line ends
// must not merge its keys into one line.
std::vector<Line> parse(const QByteArray& bytes) {
  std::vector<Line> lines;
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    qsizetype next = end;
    if (next < bytes.size() && bytes[next] == '\r') ++next;
    if (next < bytes.size() && bytes[next] == '\n') ++next;
    lines.push_back(classify(bytes.mid(start, end - start), bytes.mid(end, next - end)));
    start = next;
  }
  return lines;
}

bool sameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index of the first section line named section, or -1.
qsizetype findSection(const std::vector<Line>& lines, const QString& section) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].kind == Line::kSection && sameName(lines[i].name, section))
      return static_cast<qsizetype>(i);
  return -1;
}

QString unquote(const QString& v) {
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
    return v.mid(1, v.size() - 2);
  return v;
}

}  // namespace

QString iniReadText(const QByteArray& bytes, const QString& sectionName, const QString& keyName,
                    const QString& givenDefault) {
  const QString def = windowsDefault(givenDefault);
  const QString section = trimSpaces(sectionName), key = trimSpaces(keyName);
  const std::vector<Line> lines = parse(bytes);
  const qsizetype sec = findSection(lines, section);
  if (sec < 0) return def;
  for (size_t i = static_cast<size_t>(sec) + 1; i < lines.size(); ++i) {
    if (lines[i].kind == Line::kSection) break;
    if (lines[i].kind == Line::kKey && sameName(lines[i].name, key))
      return unquote(lines[i].value).left(kMaxValue);
  }
  return def;
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
  const qsizetype sec = findSection(lines, section);

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
      line.text = toCp1252(line.name) + '=' + toCp1252(value);
      if (line.eol.isEmpty()) line.eol = crlf;  // a rewritten last line ends like every other
      replaced = true;
      break;
    }
    insertAfter = i;
  }
  if (!replaced) {
    if (lines[insertAfter].eol.isEmpty()) lines[insertAfter].eol = crlf;
    Line added;
    added.text = toCp1252(key) + '=' + toCp1252(value);
    added.eol = crlf;
    lines.insert(lines.begin() + static_cast<qsizetype>(insertAfter) + 1, added);
  }
  QByteArray out;
  out.reserve(bytes.size() + key.size() + value.size() + 4);
  for (const Line& line : lines) out += line.text + line.eol;
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
