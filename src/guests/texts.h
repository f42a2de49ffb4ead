// The new-guest screen's texts, exactly as the branches know them.
#pragma once

namespace quorvalis::guest_texts {

inline constexpr char kTitle[] = "Stammkunde für Newsletter und Gutscheine erfassen.";
inline constexpr char kLabels[7][20] = {"Vorname", "Nachname", "Handy - Vorwahl", "Handy - Nummer",
                                        "Geburtstag Tag", "Monat", "Jahr YYYY"};
inline constexpr char kPrompts[7][48] = {
    "Bitte Vornamen eingeben.",           "Bitte Nachnamen eingeben.",
    "Bitte Handy - Vorwahlnummer eingeben.", "Bitte Handy - Nummer eingeben.",
    "Bitte Geburtstag - TAG - eingeben.", "Bitte Geburtstag - Monat -eingeben.",
    "Bitte Geburtstag - Jahr - eingeben."};
inline constexpr char kChooseSex[] = "Bitte Mann oder Frau wählen.";
inline constexpr char kPointAtPictures[] = "Bitte auswählen  --->";
inline constexpr char kSave[] = "Handynummer prüfen und den Gast für die Newsletter speichern.";
inline constexpr char kConfirm[] = "Bitte nochmals bestätigen.";
inline constexpr char kLeave[] = "verlassen";

inline constexpr char kNumberChecked[] = "Nummer geprüft.";
inline constexpr char kNumberKnown[] =
    "Der Kunde ist bereits für den Newsletter eingetragen. Diese Handy-Nummer ist bereits "
    "gespeichert.";
inline constexpr char kBlocked[] =
    "Der Kunde ist bereits für den Newsletter eingetragen aber von der Zentrale gesperrt worden.";
inline constexpr char kNameQuestionStart[] = "Der Name ist bereits ";
inline constexpr char kNameQuestionEnd[] =
    "x für den Newsletter eingetragen ! Bitte Eingaben überprüfen. Trotzdem anlegen ?";
inline constexpr char kQuestionMarker[] = "Trotzdem";
inline constexpr char kNameAndBirthdayKnown[] =
    "Der Kunde ist bereits für den Newsletter eingetragen. Dieser Name und Geburtstag ist bereits "
    "gespeichert.";
inline constexpr char kNoDatabase[] =
    "Es ist ein Problem aufgetreten. Die Datenbank ist nicht erreichbar.";
inline constexpr char kSaveFailed[] =
    "Fehler beim speichern. Bitte überprüfen Sie die Internetverbindung.";
inline constexpr char kCreated[] = "Datensatz am Server angelegt.";
inline constexpr char kCouponBooked[] = "Gutschein angelegt.";
inline constexpr char kSmsSent[] = "Die SMS wurde erfolgreich versendet.";
inline constexpr char kSmsFailed[] = "Fehler beim Versenden der SMS - Fehlercode - ";

}  // namespace quorvalis::guest_texts
