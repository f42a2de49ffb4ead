// Text helpers shared by the whole terminal: numbers, dates, mobile numbers, code page.
#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

namespace quorvalis {

// The longest leading number of a text: leading blanks and tabs skipped, an optional sign,
// digits with "." as the only decimal point. 0 when the text does not start with a number.
double readNumber(const QString& text);

// Plain decimal digits, no exponent and no trailing ".0": 5 -> "5", 7.5 -> "7.5".
QString writeNumber(double value);

// readNumber followed by writeNumber: how the terminal normalises a number text.
QString normaliseNumber(const QString& text);

// DD.MM.YYYY and HH:MM:SS, whatever the system locale says.
QString dateText(const QDate& date);
QString timeText(const QTime& time);

// Reads DD.MM.YYYY (one- or two-digit day and month accepted); invalid QDate otherwise.
QDate parseDateText(const QString& text);

// The entry check of a typed mobile number: the prefix is four digits beginning with "01", the
// number at least six digits. 0 or 1 for the first field that fails, -1 when both pass. Digits
// only: anything else could change the requests it goes into.
int firstFailingMobileField(const QString& prefix, const QString& number);

// "0049" + prefix value + ("0" when the number field starts with "0") + number value:
// the form every request to the central server carries.
QString internationalNumber(const QString& prefix, const QString& number);

// The same without the kept "0": the form of the redemption log.
QString loggedNumber(const QString& prefix, const QString& number);

// Every "%20" becomes a blank, as in the texts the server sends.
QString restoreBlanks(QString text);

// Windows-1252, the code page of settings files, logs and the wire.
QString fromCp1252(const QByteArray& bytes);
QByteArray toCp1252(const QString& text);

}  // namespace quorvalis
