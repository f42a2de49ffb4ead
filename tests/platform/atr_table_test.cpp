// The card kinds against pcsc-tools' list of answers to reset seen in the field
// (/usr/share/pcsc/smartcard_list.txt): what readers report for memory cards like the club's, and
// for other systems' chip cards a member may put in by mistake.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include "cardsim_control.h"
#include "platform/card_reader.h"
#include "platform/pcsc_reader.h"
#include "program_folder_test.h"
#include "virtual_reader.h"

namespace quorvalis::testing {
namespace {

// Under Wine the Windows build reads the same file through drive Z:, the Unix root.
#ifdef Q_OS_WIN
constexpr char kList[] = "Z:/usr/share/pcsc/smartcard_list.txt";
#else
constexpr char kList[] = "/usr/share/pcsc/smartcard_list.txt";
#endif

struct Entry {
  QString pattern;  // as listed: hex bytes, '.' for any digit, [..] for one of several
  QString description;
};

// An answer to reset the pattern stands for: each open digit 0, each choice its first.
QString concrete(const QString& pattern) {
  QString out;
  for (int i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c == u'.' && i + 1 < pattern.size() && pattern[i + 1] == u'*') {
      ++i;  // any bytes: none
    } else if (c == u'.') {
      out += u'0';
    } else if (c == u'[') {
      out += pattern[i + 1];
      i = pattern.indexOf(u']', i);
    } else {
      out += c;
    }
  }
  return out.simplified();
}

std::vector<Entry> readList() {
  std::vector<Entry> entries;
  QFile file(QString::fromLatin1(kList));
  if (!file.open(QIODevice::ReadOnly)) return entries;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (raw.startsWith('#') || line.isEmpty()) continue;
    if (raw.startsWith('\t') && !entries.empty()) entries.back().description += line + u' ';
    else if (!raw.startsWith('\t')) entries.push_back({line, {}});
  }
  return entries;
}

struct Row {
  QString atr, description;
  bool memory;
};

// Memory cards: those the list names by a memory chip of the club's kind (Infineon/Siemens
// SLE 44xx and 55xx, synchronous), as memory, storage or I2C cards or by their bus. Atmel's
// CryptoMemory is left out: it answers as an asynchronous T=0 card with commands of its own.
const QRegularExpression kMemory(R"(SLE ?(44|55)\d\d|SLE ?44x2|memory card|storage card|speicherkarte|\bI2C\b|[23]-wire)",
                                 QRegularExpression::CaseInsensitiveOption);
const QRegularExpression kCryptoMemory(R"(AT88SC|CryptoMemory|Atmel)", QRegularExpression::CaseInsensitiveOption);
// Processor cards, chosen by hand: the German health insurance card (eGK), bank cards with EMV,
// SIM and USIM cards, electronic passports.
const QRegularExpression kProcessor(R"(\beGK\b|Gesundheitskarte|\bEMV\b.*\(Bank\)|\bU?SIM\b.*\(Telecommunication\)|e-?passport|biometric passport)",
                                    QRegularExpression::CaseInsensitiveOption);

std::vector<Row> tableRows() {
  std::vector<Row> rows;
  for (const Entry& e : readList()) {
    const bool memory = kMemory.match(e.description).hasMatch() && !kCryptoMemory.match(e.description).hasMatch();
    // One of the list's earliest entries names the old health insurance card, an I2C memory card,
    // beside others: the memory chip named decides.
    const bool processor = kProcessor.match(e.description).hasMatch() && !memory;
    if (memory || processor) rows.push_back({concrete(e.pattern), e.description.trimmed(), memory});
  }
  return rows;
}

const char* kindName(AtrKind k) {
  return k == AtrKind::kMemory ? "memory" : k == AtrKind::kProcessor ? "processor" : "asked";
}

}  // namespace

// Each listed answer, made concrete, still matches its pattern; a memory card is never taken for
// another system's card by its answer, a processor card never for a memory card.
TEST(AtrTable, ListedCardsByTheirAnswerToReset) {
  if (!QFile::exists(QString::fromLatin1(kList))) GTEST_SKIP() << kList << " missing: install pcsc-tools";
  const std::vector<Row> rows = tableRows();
  int memory = 0, processor = 0, asked = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE((r.atr + " " + r.description).toStdString());
    memory += r.memory;
    processor += !r.memory;
    const AtrKind kind = classifyAtr(QByteArray::fromHex(r.atr.toLatin1()));
    asked += kind == AtrKind::kAsk;
    EXPECT_NE(kind, r.memory ? AtrKind::kProcessor : AtrKind::kMemory) << kindName(kind);
  }
  // The list as pcsc-tools 1.6 ships it: a dozen memory cards, a hundred and more of the others.
  EXPECT_GE(memory, 10);
  EXPECT_GE(processor, 100);
  RecordProperty("memory", memory);
  RecordProperty("processor", processor);
  RecordProperty("asked", asked);
  std::printf("%d memory, %d processor rows; %d asked\n", memory, processor, asked);
}

// The club's own cards as the list has them from readers that pass on the card's bytes (short
// form 3B 04 and the card's four): read without a question.
TEST(AtrTable, ClubCardsInTheShortFormAreReadWithoutAQuestion) {
  if (!QFile::exists(QString::fromLatin1(kList))) GTEST_SKIP() << kList << " missing: install pcsc-tools";
  const QRegularExpression club(R"(SLE ?(4442|4432/42|5542))", QRegularExpression::CaseInsensitiveOption);
  int found = 0;
  for (const Row& r : tableRows()) {
    const QByteArray atr = QByteArray::fromHex(r.atr.toLatin1());
    // A reader's placeholder (01 02 03 04) is no answer of the chip's.
    if (!r.memory || !club.match(r.description).hasMatch() || !atr.startsWith("\x3B\x04") || atr == QByteArray::fromHex("3B0401020304"))
      continue;
    ++found;
    EXPECT_EQ(classifyAtr(atr), AtrKind::kMemory) << r.atr.toStdString() << " " << r.description.toStdString();
  }
  EXPECT_GE(found, 2);
}

#ifdef QUORVALIS_PCSC
using AtrTablePcsc = ProgramFolderTest;

// The rows whose answer leaves the kind open, plugged into the virtual reader as what they are:
// a memory card answers the read of byte 0 and is read, a processor card refuses the reader's
// class and is sent nothing else; a processor card known by its answer is sent nothing at all.
TEST_F(AtrTablePcsc, AskedCardsAnswerForThemselves) {
  if (!QFile::exists(QString::fromLatin1(kList))) GTEST_SKIP() << kList << " missing: install pcsc-tools";
  const CardsimFile file(path("card"));
  cardsim({"club", "00491711234567"});
  VirtualReader service(path("card"));
  ASSERT_TRUE(service.startService()) << service.log().toStdString();
  std::vector<Row> rows;
  int askedProcessors = 0;
  bool decidedProcessor = false;
  for (const Row& r : tableRows()) {
    const AtrKind kind = classifyAtr(QByteArray::fromHex(r.atr.toLatin1()));
    // Every asked memory card; of the processor cards every fourth asked one (a card plugged in
    // costs a second) and one known by its answer.
    if ((kind == AtrKind::kAsk && (r.memory || askedProcessors++ % 4 == 0)) ||
        (kind == AtrKind::kProcessor && !std::exchange(decidedProcessor, true)))
      rows.push_back(r);
  }
  ASSERT_FALSE(rows.empty());
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE((r.atr + " " + r.description).toStdString());
    const QString log = path(QStringLiteral("apdu-%1").arg(++n));
    QStringList options{"--atr", r.atr.simplified().remove(u' '), "--log", log};
    if (!r.memory) options << "--processor";
    PcscCardReader reader({VirtualReader::kFirstSlot, {}});  // the second slot, empty, would be chosen before another system's card
    service.pullOut();  // the last card seen out first, or its answer to reset would stand for this one's
    ASSERT_TRUE(QTest::qWaitFor([&] { return cardStatus(reader) == kStatusWait; }, 20000));
    ASSERT_TRUE(service.replug(options));
    const bool active = QTest::qWaitFor([&] { return cardStatus(reader) == kStatusActive; }, 20000);
    EXPECT_TRUE(active);
    EXPECT_EQ(cardRead(reader, 1, 6), r.memory ? "quorva" : "      ");  // a refused read leaves the blanks
    EXPECT_EQ(cardWrite(reader, 1, "xx"), r.memory ? card_result::kOk : card_result::kUnreadable);
    if (r.memory) {
      EXPECT_EQ(cardWrite(reader, 1, "qu"), card_result::kOk);
    }
    QFile f(log);
    const QByteArray sent = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    const bool askedRow = classifyAtr(QByteArray::fromHex(r.atr.toLatin1())) == AtrKind::kAsk;
    // A memory card: asked first, then read and written as any; another system's card: asked only.
    EXPECT_EQ(r.memory ? sent.left(11) : sent, r.memory || askedRow ? "FFB0000001\n" : "") << sent.toStdString();
    if (r.memory) {
      EXPECT_TRUE(sent.contains("FFD60001")) << sent.toStdString();
    }
  }
}
#endif

}  // namespace quorvalis::testing
