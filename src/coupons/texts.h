// The coupon screen's texts, exactly as the branches know them.
#pragma once

namespace quorvalis::coupon_texts {

inline constexpr char kTitle[] = "SMS Gutschein einlösen";
inline constexpr char kLabels[3][20] = {"Handy - Vorwahl", "Handy - Nummer", "Gutscheincode"};
inline constexpr char kPrompts[3][40] = {"Bitte Handy - Vorwahlnummer eingeben.",
                                         "Bitte Handy - Nummer eingeben.",
                                         "Bitte Gutschein-Code eingeben."};
inline constexpr char kEingabe[] = "Eingabe";
inline constexpr char kSearch[] = "Gutschein suchen";
inline constexpr char kRedeem[] = "Gutschein jetzt einlösen";
inline constexpr char kMoment[] = "Moment bitte...";
inline constexpr char kDeleting[] = "Der Gutschein wird vom Server gelöscht.";
inline constexpr char kRedeemed[] = "Der Gutschein ist eingelöst.";
inline constexpr char kPrinted[] = " Quittung gedruckt !";
// On a receipt that the terminal printed only at its next start, after an unplanned end.
inline constexpr char kPrintedAfterRestart[] = "*** Nachdruck nach Neustart des Terminals ***";
inline constexpr char kError[] = "FEHLER";
inline constexpr char kNotDeleted[] = "Der Gutschein konnte nicht gelöscht werden. Nicht einlösen !";
inline constexpr char kNotLogged[] = "Achtung: Einlösung konnte nicht protokolliert werden !";
inline constexpr char kNoPrinter[] = "kein Drucker gefunden";

}  // namespace quorvalis::coupon_texts
