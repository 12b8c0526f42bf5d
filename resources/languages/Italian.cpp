#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"Questo programma utilizza la libreria FreeType (https://freetype.org/).\n\n"
                               u"Gli encoder MP3, Vorbis e FLAC sono software separati:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kItalianTable = {
    ui(u"OK"), ui(u"Annulla"), ui(u"File"), ui(u"Converti"), ui(u"Consulta FreeDB"), ui(u"Esci\tAlt+F4"),
    ui(u"Visualizza"), ui(u"Opzioni"), ui(u"Lingua"), TONVANE_LANGUAGE_NAMES, ui(u"Aiuto"),
    ui(texts::kWebLabel), ui(u"Inserisci un CD musicale"), ui(u"Titolo:"), ui(u"Traccia"),
    ui(u"Durata:"), ui(u"Connessione a FreeDB..."), ui(u"Connesso a FreeDB"),
    ui(u"Invio della richiesta..."), ui(u"Ricezione delle informazioni..."), ui(u"Download completato"),
    ui(u"Errore di connessione a FreeDB"), ui(u"Connessione a FreeDB interrotta"), ui(u"Album:"),
    ui(u"Applica le modifiche a tutte le tracce"), ui(u"Verifica aggiornamenti..."),
    ui(u"Verifica degli aggiornamenti..."), ui(u"Vuoi aggiornare alla versione %s?"),
    ui(u"Sono disponibili aggiornamenti"), ui(u"Non ci sono aggiornamenti disponibili"),
    ui(u"Download in corso..."), ui(u"Informazioni..."), ui(kAbout), ui(u"Aiuto..."),
    ui(product::kTutorialsPage), ui(u"Proprietà"), ui(u"Esercitazioni"), ui(product::kWebPage),
    ui(u"Scaricamento"), ui(u"Impossibile aprire %s: %s"),
    ui(u"accesso negato. Aggiungi il tuo utente al gruppo \"cdrom\" e accedi di nuovo"),
    ui(u"l'unità è occupata (la sta usando un altro programma)"),
    ui(u"I file esistono già"),
    ui(u"%s esiste già in questa cartella. Sostituire i file esistenti o tenerli entrambi?"),
    ui(u"Sostituisci"),
    ui(u"Mantieni entrambi"),
    ui(u"Nuova cartella"), ui(u"Il download non è riuscito"),
    ui(u"Modalità di lettura:"),
    ui(u"Normale"),
    ui(u"Sicura"),
    ui(u"Verifica e copia"),
    ui(u"Verifica le tracce con AccurateRip"),
    ui(u"Metadati:"),
    ui(u"MusicBrainz e CDDB"),
    ui(u"Solo CDDB"),
    ui(u"Nessuno"),
    ui(u"Server CDDB:"),
    ui(u"Scarica la copertina"),
    ui(u"Una cartella per album"),
    ui(u"Scrivi i tag ReplayGain"),
    ui(u"Cerca aggiornamenti all'avvio"),
    ui(u"Offset di lettura:"),
    ui(u"Rileva"),
    ui(u"%s campioni"),
    ui(u"%s campioni (%s tracce concordano)"),
    ui(u"Richiesta ad AccurateRip..."),
    ui(u"Lettura della traccia %s di %s..."),
    ui(u"Nessuna risposta: %s"),
    ui(u"AccurateRip non conosce questo disco"),
    ui(u"AccurateRip non risponde"),
    ui(u"nessuna traccia corrisponde a un solo offset"),
    ui(u"il disco non può essere letto"),
    ui(u"Unità:"), ui(u"disco %s/%s"),
    ui(u"Ferma"), ui(u"Accurata (affidabilità %s)"), ui(u"Non accurata"), ui(u"Non presente nel database"), ui(u"Non verificata"),
    ui(u"Non riuscita"), ui(u"Fermata"), ui(u"%s di %s tracce integre, %s accurate"), ui(u"Apri cartella"), ui(u"Mostra registro"),
    ui(u"Impossibile leggere %s settori"), ui(u"%s settori letti in modo diverso ogni volta"), ui(u"Impossibile leggere la traccia o scriverne il file"),
    ui(u"Modifica dati dell'album"),
    ui(u"Dati dell'album"),
    ui(u"Artista dell'album:"),
    ui(u"Anno:"),
    ui(u"Genere:"),
    ui(u"Titoli digitati"),
    ui(u"Sostituire i titoli che hai digitato?"),
    ui(u"Mantieni"),
};

} // namespace tonvane
