// The start form's and the band's texts, exactly as the branches know them.
#pragma once

namespace quorvalis::texts {

inline constexpr char kStartCaption[] = "Eingabe erforderlich !";
inline constexpr char kStartGuests[] = "Stammgäste erfassen";
inline constexpr char kStartCoupons[] = "Gutscheine einlösen";
inline constexpr char kStartProduct[] = " Tarvendel Coupons      ";
inline constexpr char kStartRemember[] = "ID merken";
inline constexpr char kLogin[] = "      Login";
inline constexpr char kKeyboard[] = "Tastatur";

inline constexpr char kMainCaption[] = "quorvalis - Tarvendels via SMS";
inline constexpr char kNewGuest[] = "Neuen Gast erfassen";
inline constexpr char kRedeem[] = "Gutschein einlösen";
inline constexpr char kMoment[] = "Moment bitte...";
inline constexpr char kServerOk[] = "Server OK";
inline constexpr char kServerFailed[] = "Server failed";
inline constexpr char kWaitingForServer[] = "warte auf Internetverbindung...";
inline constexpr char kOk[] = "OK";
inline constexpr char kQuit[] = "X";
inline constexpr char kServiceCode[] = "58302719";

inline constexpr char kNoBranchFile[] =
    "Es wurde keine Filialdatei gefunden. Bitte wenden Sie sich an die Zentrale. "
    "Das Programm wird beendet.";
inline constexpr char kUpdateError[] = "Update-Download ERROR ";
inline constexpr char kRestartsStopped[] =
    "Das Programm wurde in den letzten 10 Minuten mehrmals unerwartet beendet und wird nicht mehr "
    "neu gestartet. Bitte starten Sie den PC neu. Bleibt der Fehler, wenden Sie sich an Ihren "
    "Administrator.";
inline constexpr char kTitleNote[] = "Hinweis";
inline constexpr char kTitleError[] = "Fehler";

}  // namespace quorvalis::texts
