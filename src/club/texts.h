// The club screen's texts, exactly as the branches know them.
#pragma once

namespace quorvalis::club_texts {

inline constexpr char kTitle[] = "Clubmitglieder derzeit anwesend";
inline constexpr char kLabels[2][20] = {"Handy - Vorwahl", "Handy - Nummer"};
inline constexpr char kSearch[] = "anmelden";
inline constexpr char kCheckOut[] = "abmelden";
inline constexpr char kIssue[] = "Chipkarte erstellen";
inline constexpr char kErase[] = "Karte löschen";
inline constexpr char kInitialise[] = "Initialisieren";
inline constexpr char kLeave[] = "Abbrechen";

// chipmess: the reader's state, most with a leading blank.
inline constexpr char kStarting[] = " Moment bitte...";
inline constexpr char kWorking[] = "Moment bitte...";
inline constexpr char kReaderNotReady[] = " Fehler ! Chipkartenleser nicht bereit.";
inline constexpr char kReadError[] = " Lesefehler - bitte noch einmal einstecken !";
inline constexpr char kReaderReady[] = " Chipkartenleser bereit.";
inline constexpr char kNotSupported[] = " Diese Karte wird nicht unterstützt !";
inline constexpr char kRecognised[] = " Karte erkannt.";
inline constexpr char kCardUnknown[] = " Karte unbekannt.";
inline constexpr char kBlankCard[] = " Leere Karte erkannt !";
inline constexpr char kNoReader[] = " Kein Kartenlesegerät installiert !";
inline constexpr char kInitFailed[] = "Fehler beim Initialisieren der Karte !";

// Hinweis: the hint line.
inline constexpr char kMemberUnknown[] = "Nummer / Karte unbekannt !";
inline constexpr char kAlreadyBefore[] = "Clubmitglied - ";
inline constexpr char kAlreadyAfter[] = " ist bereits angemeldet.";
inline constexpr char kNoAnswer[] = "Bitte überprüfen Sie die Internetverbindung.";
inline constexpr char kErased[] = "Chipkarte wurde gelöscht.";
inline constexpr char kEraseFailed[] = "Fehler beim löschen der Karte.";
inline constexpr char kNotWritten[] = "Die Karte konnte nicht beschrieben werden.";
inline constexpr char kBadNumber[] = "Handynummer ???";

}  // namespace quorvalis::club_texts
