#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"Ce programme utilise la bibliothèque FreeType (https://freetype.org/).\n\n"
                               u"Les encodeurs MP3, Vorbis et FLAC sont des logiciels distincts :" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kFrenchTable = {
    ui(u"OK"), ui(u"Annuler"), ui(u"Fichier"), ui(u"Convertir"), ui(u"Consulter FreeDB"),
    ui(u"Quitter\tAlt+F4"), ui(u"Affichage"), ui(u"Options"), ui(u"Langue"), TONVANE_LANGUAGE_NAMES,
    ui(u"Aide"), ui(texts::kWebLabel), ui(u"Insérez un CD audio"), ui(u"Titre :"), ui(u"Piste"),
    ui(u"Durée :"), ui(u"Connexion à FreeDB..."), ui(u"Connecté à FreeDB"), ui(u"Envoi de la requête..."),
    ui(u"Réception des informations..."), ui(u"Téléchargement terminé"),
    ui(u"Erreur de connexion à FreeDB"), ui(u"Connexion à FreeDB interrompue"), ui(u"Album :"),
    ui(u"Appliquer les modifications à toutes les pistes"), ui(u"Rechercher des mises à jour..."),
    ui(u"Recherche de mises à jour..."), ui(u"Voulez-vous passer à la version %s ?"),
    ui(u"Des mises à jour sont disponibles"), ui(u"Aucune mise à jour disponible"),
    ui(u"Téléchargement..."), ui(u"À propos..."), ui(kAbout), ui(u"Aide..."),
    ui(product::kTutorialsPage), ui(u"Propriétés"), ui(u"Tutoriels"), ui(product::kWebPage),
    ui(u"Téléchargement"), ui(u"Impossible d'ouvrir %s : %s"),
    ui(u"accès refusé. Ajoutez votre utilisateur au groupe « cdrom » et reconnectez-vous"),
    ui(u"le lecteur est occupé (un autre programme l'utilise)"),
    ui(u"Les fichiers existent déjà"),
    ui(u"%s existe déjà dans ce dossier. Remplacer les fichiers existants ou conserver les deux ?"),
    ui(u"Remplacer"),
    ui(u"Conserver les deux"),
    ui(u"Nouveau dossier"), ui(u"Le téléchargement a échoué"),
    ui(u"Modifier les infos de l'album"),
    ui(u"Infos de l'album"),
    ui(u"Artiste de l'album :"),
    ui(u"Année :"),
    ui(u"Genre :"),
    ui(u"Titres saisis"),
    ui(u"Remplacer les titres que vous avez saisis ?"),
    ui(u"Conserver"),
};

} // namespace tonvane
