// The settings form's texts, exactly as the branches know them.
#pragma once

namespace quorvalis::branch_texts {

inline constexpr char kCaption[] = "quorvalis - Filial - Einstellungen";
inline constexpr char kHeading[] = "Filial Software - Einstellungen";
inline constexpr char kCentral[] = "Einstellungen werden über das Main-System gesteuert:";
inline constexpr char kRemember[] = "ID merken";
inline constexpr char kClub[] = "Clubmodus";
inline constexpr char kWindows[] = "mit Windows starten";
inline constexpr char kAutomin[] = "automatisch minimieren";
inline constexpr char kNomin[] = "minimieren verbieten";
inline constexpr char kKats[] = "Kategorien d. Servicepersonal";
inline constexpr char kSettingsPassword[] = "Einstellungen nur mit Passwort";
inline constexpr char kGuestPassword[] = "Neuer Gast nur mit Passwort";
inline constexpr char kPrinterChoice[] = "Quittungdrucker - Auswahl - ";
inline constexpr char kLikeStandard[] = "- wie Standard -";
inline constexpr char kNoReceiptPrinter[] = "kein Bondrucker";
inline constexpr char kStandardPrinter[] = "Standarddrucker: ";
inline constexpr char kReceiptPrinter[] = "Quittungsdrucker: ";
inline constexpr char kEraseCard[] = "Chipkarte löschen";
inline constexpr char kEraseQuestion[] = "Chipkarte wirklich löschen ?";
inline constexpr char kErased[] = "Chipkarte wurde gelöscht.";
inline constexpr char kEraseFailed[] = "Fehler beim löschen der Karte.";
inline constexpr char kQuit[] = "Filial - Programm beenden";
inline constexpr char kClose[] = "Schließen";
inline constexpr char kSelfTest[] = "Selbsttest";
inline constexpr char kSelfTestTitle[] = "quorvalis Selbsttest";

inline constexpr char kReport[] = "Filialbericht";
inline constexpr char kPrint[] = "Filialbericht drucken";
inline constexpr char kReset[] = "Filialbericht löschen";
inline constexpr char kPrinted[] = "Filialbericht gedruckt.";
inline constexpr char kNotPrinted[] = "Filialbericht konnte nicht gedruckt werden !";
inline constexpr char kResetQuestion[] = "Filialbericht wirklich löschen ?";
inline constexpr char kResetDone[] = "Filialbericht gelöscht !!!";
inline constexpr char kNotReset[] = "Filialbericht konnte nicht gelöscht werden !";

inline constexpr char kTitleQuestion[] = "Frage";
inline constexpr char kTitleNote[] = "Hinweis";
inline constexpr char kTitleError[] = "Fehler";

}  // namespace quorvalis::branch_texts
