#include "coupons/receipts.h"

#include "common/text.h"

namespace quorvalis {
namespace {

QString rule(int n) { return QString(n, u'-'); }

// Appends the pieces; a number n stands for n empty lines.
struct Lines {
  QStringList list{QString()};  // the skipped first entry
  Lines& operator<<(const QString& line) {
    list << line;
    return *this;
  }
  Lines& blank(int n) {
    for (int i = 0; i < n; ++i) list << QString();
    return *this;
  }
};

bool hasNumber(const ReceiptValues& v) { return readNumber(v.receiptNumber) > 0; }

QString fullHeading(const ReceiptValues& v) {
  return hasNumber(v) ? QStringLiteral(" - Quittung -") + QString(88, u' ') + "No." + v.receiptNumber
                      : QStringLiteral(" - Quittung - ");
}

QString slipHeading(const ReceiptValues& v) {
  return hasNumber(v) ? QStringLiteral(" - Quittung -     No.") + v.receiptNumber
                      : QStringLiteral(" - Quittung - ");
}

// Lines 1 to 12 of both full-page receipts.
Lines fullReceiptTop(const ReceiptValues& v) {
  Lines l;
  l << QStringLiteral("quorvalis - Tarvendel Coupons - System  -  ");
  l.blank(1) << rule(104);
  l.blank(1) << fullHeading(v);
  l.blank(1) << rule(104);
  l.blank(1) << QStringLiteral("über :    ") + v.value + ",-  EURO ";
  l.blank(1) << rule(104);
  l.blank(1) << QStringLiteral("von : ___________________ ") + v.postcode + "  " + v.branchName;
  l.blank(1) << rule(104) << QStringLiteral("für:");
  l.blank(2) << QStringLiteral("Name : ___________________________ ") + " Handynummer :  " +
                    v.prefix + " " + v.number;
  l.blank(1) << rule(104);
  l.blank(4);
  return l;
}

// The end of layout 0 and of the confirmation, after the date line.
void fullPageSignature(Lines& l) {
  l.blank(9) << rule(104);
  l.blank(4) << QStringLiteral(" ____________________________________ ")
             << QStringLiteral(" Name Servicepersonal");
  l.blank(2) << QStringLiteral("   A   B   C   D   E   F   ");
  l.blank(1);
}

// Lines 1 to 15 of both slips; they differ in two lines only.
Lines slipTop(const ReceiptValues& v, const QString& valueLead, const QString& nameLine) {
  Lines l;
  l << QStringLiteral("quorvalis  - System  - ") << QStringLiteral("Tarvendel Coupons") << rule(58)
    << slipHeading(v) << rule(58) << valueLead + v.value + ",-  EURO " << rule(58);
  l.blank(1) << QStringLiteral("von: ") + v.postcode + "  " + v.branchName;
  l.blank(1) << rule(58) << QStringLiteral("für Handynr. :   ") + v.prefix + " " + v.number;
  l.blank(2) << nameLine << rule(58);
  l.blank(3) << QStringLiteral(" ________________________________")
             << v.date + "    dankend erhalten    ";
  return l;
}

}  // namespace

QStringList BuildPlainReceipt(const ReceiptValues& v) {
  Lines l = fullReceiptTop(v);
  l << QStringLiteral("____ ") + v.date + " ____          dankend erhalten ____________________";
  fullPageSignature(l);
  return l.list;
}

QStringList BuildNoteReceipt(const ReceiptValues& v) {
  Lines l = fullReceiptTop(v);
  l << QStringLiteral("___ ") + v.date + " - " + v.time +
           " ___       dankend erhalten ____________________";
  l.blank(7) << rule(104) << QStringLiteral("Interner Vermerk - Gutschein verwendet für");
  l.blank(1) << QStringLiteral("  O - Verzehr") << QStringLiteral("  O - Mitnahme")
             << QStringLiteral("  O - Dienstleistung")
             << QStringLiteral("  O - Einwurf______Gerät______________________No.______________");
  l.blank(3) << QStringLiteral(" _____________________________________________________ ")
             << QStringLiteral(" Servicepersonal - Blockschrift - Unterschrift");
  l.blank(2) << QStringLiteral("   A   B   C   D   E   F   ");
  return l.list;
}

QStringList BuildPlainSlip(const ReceiptValues& v) {
  Lines l = slipTop(v, QStringLiteral("über:    "), QStringLiteral("Name: ____________________________ "));
  l << rule(58);
  l.blank(3) << QStringLiteral(" ________________________________")
             << QStringLiteral(" Name Servicepersonal");
  l.blank(2) << QStringLiteral("   A   B   C   D   E   F   ");
  l.blank(8) << QStringLiteral(".");
  return l.list;
}

QStringList BuildNoteSlip(const ReceiptValues& v) {
  Lines l = slipTop(v, QStringLiteral("über:     "), QStringLiteral("Name : ___________________________ "));
  l << rule(58);
  l.blank(9) << rule(58) << QStringLiteral("Interner Vermerk - Gutschein verwendet für");
  l.blank(1) << QStringLiteral("  O - Verzehr") << QStringLiteral("  O - Mitnahme")
             << QStringLiteral("  O - Dienstleistung") << QStringLiteral("  O - Einwurf")
             << QStringLiteral("        Gerät_____________No._________");
  l.blank(3) << QStringLiteral(" __________________________________")
             << QStringLiteral(" Servicepersonal Name/Unterschrift");
  l.blank(2) << QStringLiteral("   A   B   C   D   E   F   ");
  l.blank(8) << QStringLiteral(".");
  return l.list;
}

QStringList BuildConfirmation(const ReceiptValues& v) {
  const QString title = QStringLiteral(" - Bestätigung über das Einlösen eines SMS - Gutscheines");
  Lines l;
  l << QStringLiteral("quorvalis - Tarvendel Coupons - System  -  ");
  l.blank(1) << rule(104);
  l.blank(1) << (hasNumber(v) ? title + QString(29, u' ') + "No." + v.receiptNumber : title);
  l.blank(1) << rule(104) << QStringLiteral("Eingelöst in ");
  l.blank(1) << QStringLiteral("___________________ ") + v.postcode + "  " + v.branchName;
  l.blank(1) << rule(104) << QStringLiteral("Eingelöst von:");
  l.blank(2) << QStringLiteral("Name : ___________________________ ") + " Handynummer :  " +
                    v.prefix + " " + v.number;
  l.blank(1) << rule(104);
  l.blank(4) << QStringLiteral("____ ") + v.date + " - " + v.time +
                    " ____          bestätigt ____________________";
  fullPageSignature(l);
  return l.list;
}

QString joinReceipt(const QStringList& entries) {
  QString text;
  for (qsizetype i = 1; i < entries.size(); ++i) text += entries[i] + QStringLiteral("\r\n");
  return text;
}

void PullBackWord(QString& carryOver, QString& line) {
  const QString separators = QString::fromLatin1(kSeparators);
  if (carryOver.isEmpty() || separators.contains(carryOver.front())) return;
  while (!line.isEmpty() && !separators.contains(line.back())) {
    carryOver.prepend(line.back());
    line.chop(1);
  }
}

namespace {

struct Page {
  PrintDocument& doc;
  double room;
  bool newPageAllowed;

  bool fits(const QString& line) {
    const double height = doc.textHeight(line);
    if (height > room) {
      if (!newPageAllowed) return false;
      doc.newPage();
      room = doc.printableHeight() - doc.currentY();
    }
    room -= height;
    return true;
  }
};

bool onlyBlanks(const QString& s) {
  for (QChar c : s)
    if (c != u' ') return false;
  return true;
}

}  // namespace

void PrintWrappedText(PrintDocument& doc, const QString& text, double left, double top,
                      double width, double /*bottom*/, bool newPageAllowed, int /*alignment*/) {
  if (left == 0) left = doc.currentX();
  if (top != 0) doc.setCurrentY(top);
  else top = doc.currentY();
  if (width == 0) width = doc.printableWidth() - left;
  else if (width < 0) width = doc.printableWidth() - left + width;
  Page page{doc, doc.printableHeight() - top, newPageAllowed};

  auto print = [&](const QString& line) {
    if (!page.fits(line)) return false;
    doc.setCurrentX(left);
    doc.printLine(line);
    return true;
  };

  for (QString paragraph : text.split(QStringLiteral("\r\n"))) {
    if (doc.textWidth(paragraph) <= width) {
      if (!print(paragraph)) return;
      continue;
    }
    while (!paragraph.isEmpty() && !onlyBlanks(paragraph)) {
      if (doc.textWidth(paragraph) <= width) {
        if (!print(paragraph)) return;
        break;
      }
      // The longest part that fits, found by halving: measuring the rest once per character
      // dropped takes minutes for a long paragraph (a damaged log line in the report).
      qsizetype fits = 0, tooWide = paragraph.size();
      while (tooWide - fits > 1) {
        const qsizetype middle = fits + (tooWide - fits) / 2;
        if (doc.textWidth(paragraph.left(middle)) <= width) fits = middle;
        else tooWide = middle;
      }
      QString carry = paragraph.mid(fits);
      paragraph.truncate(fits);
      const QString fitted = paragraph;
      PullBackWord(carry, paragraph);
      if (paragraph.isEmpty()) {
        // A run without separators wider than the line: break it where it stops fitting,
        // at least one character a line, so the receipt prints to its end.
        paragraph = fitted.isEmpty() ? carry.left(1) : fitted;
        carry = fitted.isEmpty() ? carry.mid(1) : carry.mid(fitted.size());
      }
      if (!print(paragraph)) return;
      paragraph = carry;
    }
  }
}

}  // namespace quorvalis
