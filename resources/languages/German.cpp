#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"Dieses Programm verwendet die FreeType-Bibliothek (https://freetype.org/).\n\n"
                               u"Die Encoder für MP3, Vorbis und FLAC sind eigenständige Software:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kGermanTable = {
    ui(u"OK"), ui(u"Abbrechen"), ui(u"Datei"), ui(u"Konvertieren"), ui(u"FreeDB abfragen"),
    ui(u"Beenden\tAlt+F4"), ui(u"Ansicht"), ui(u"Optionen"), ui(u"Sprache"), TONVANE_LANGUAGE_NAMES,
    ui(u"Hilfe"), ui(texts::kWebLabel), ui(u"Musik-CD einlegen"), ui(u"Titel:"), ui(u"Track"),
    ui(u"Spielzeit:"), ui(u"Verbindung zu FreeDB wird hergestellt..."), ui(u"Mit FreeDB verbunden"),
    ui(u"Anfrage wird gesendet..."), ui(u"Informationen werden empfangen..."),
    ui(u"Download abgeschlossen"), ui(u"Fehler bei der Verbindung zu FreeDB"),
    ui(u"Verbindung zu FreeDB abgebrochen"), ui(u"Album:"), ui(u"Änderungen auf alle Tracks anwenden"),
    ui(u"Nach Updates suchen..."), ui(u"Suche nach Updates..."),
    ui(u"Möchten Sie auf Version %s aktualisieren?"), ui(u"Es sind Updates verfügbar"),
    ui(u"Es sind keine Updates verfügbar"), ui(u"Wird heruntergeladen..."), ui(u"Über..."),
    ui(kAbout), ui(u"Hilfe..."), ui(product::kTutorialsPage), ui(u"Eigenschaften"),
    ui(u"Anleitungen"), ui(product::kWebPage),
    ui(u"Herunterladen"), ui(u"%s kann nicht geöffnet werden: %s"),
    ui(u"Zugriff verweigert. Fügen Sie Ihren Benutzer der Gruppe „cdrom“ hinzu und melden Sie sich neu an"),
    ui(u"das Laufwerk ist belegt (ein anderes Programm verwendet es)"),
    ui(u"Dateien bereits vorhanden"),
    ui(u"%s ist in diesem Ordner bereits vorhanden. Vorhandene Dateien ersetzen oder beide behalten?"),
    ui(u"Ersetzen"),
    ui(u"Beide behalten"),
    ui(u"Neuer Ordner"), ui(u"Der Download ist fehlgeschlagen"),
    ui(u"Lesemodus:"),
    ui(u"Normal"),
    ui(u"Sicher"),
    ui(u"Testen und kopieren"),
    ui(u"Tracks mit AccurateRip prüfen"),
    ui(u"Metadaten:"),
    ui(u"MusicBrainz und CDDB"),
    ui(u"Nur CDDB"),
    ui(u"Keine"),
    ui(u"CDDB-Server:"),
    ui(u"Cover herunterladen"),
    ui(u"Ein Ordner pro Album"),
    ui(u"ReplayGain-Tags schreiben"),
    ui(u"Beim Start nach Updates suchen"),
    ui(u"Leseversatz:"),
    ui(u"Ermitteln"),
    ui(u"%s Samples"),
    ui(u"%s Samples (%s Tracks stimmen überein)"),
    ui(u"AccurateRip wird gefragt..."),
    ui(u"Track %s von %s wird gelesen..."),
    ui(u"Keine Antwort: %s"),
    ui(u"AccurateRip kennt diese CD nicht"),
    ui(u"AccurateRip antwortet nicht"),
    ui(u"kein Track passt zu genau einem Versatz"),
    ui(u"die CD kann nicht gelesen werden"),
    ui(u"Laufwerk:"), ui(u"CD %s/%s"),
    ui(u"Stopp"), ui(u"Genau (Konfidenz %s)"), ui(u"Nicht genau"), ui(u"Nicht in der Datenbank"), ui(u"Nicht geprüft"),
    ui(u"Fehlgeschlagen"), ui(u"Gestoppt"), ui(u"%s von %s Titeln vollständig, %s genau"), ui(u"Ordner öffnen"), ui(u"Protokoll anzeigen"),
    ui(u"%s Sektoren konnten nicht gelesen werden"), ui(u"%s Sektoren wurden jedes Mal anders gelesen"), ui(u"Der Titel konnte nicht gelesen oder seine Datei nicht geschrieben werden"),
    ui(u"Albumangaben bearbeiten"),
    ui(u"Albumangaben"),
    ui(u"Albuminterpret:"),
    ui(u"Jahr:"),
    ui(u"Genre:"),
    ui(u"Eingegebene Titel"),
    ui(u"Die eingegebenen Titel ersetzen?"),
    ui(u"Behalten"),
};

} // namespace tonvane
