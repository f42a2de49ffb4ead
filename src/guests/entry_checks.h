// The new-guest screen's rules for its seven fields, without any widget.
#pragma once

#include <QString>
#include <array>

namespace quorvalis {

inline constexpr int kGuestFields = 7;
using GuestFields = std::array<QString, kGuestFields>;  // first, last, prefix, number, day, month, year

// A name field when it loses the focus: "-" and "_" become blanks, runs of blanks shrink,
// every word starts with a capital.
QString tidyName(const QString& name);

// Checks every field; names get "-" for blanks and lose trailing "-" (written back). Returns
// which fields failed. Beyond the length and range rules, a name may hold only letters, blanks,
// "-", "'" and "." (never the separator "---"), and the number fields only digits: anything
// else could change the requests.
std::array<bool, kGuestFields> checkEntries(GuestFields& fields, int currentYear);

}  // namespace quorvalis
