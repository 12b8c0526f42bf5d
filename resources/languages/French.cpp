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
    ui(u"Mode de lecture :"),
    ui(u"Normal"),
    ui(u"Sécurisé"),
    ui(u"Tester et copier"),
    ui(u"Vérifier les pistes avec AccurateRip"),
    ui(u"Métadonnées :"),
    ui(u"MusicBrainz et CDDB"),
    ui(u"CDDB seulement"),
    ui(u"Aucune"),
    ui(u"Serveur CDDB :"),
    ui(u"Télécharger la pochette"),
    ui(u"Un dossier par album"),
    ui(u"Écrire les balises ReplayGain"),
    ui(u"Rechercher les mises à jour au démarrage"),
    ui(u"Décalage de lecture :"),
    ui(u"Détecter"),
    ui(u"%s échantillons"),
    ui(u"%s échantillons (%s pistes concordent)"),
    ui(u"Interrogation d'AccurateRip..."),
    ui(u"Lecture de la piste %s sur %s..."),
    ui(u"Pas de réponse : %s"),
    ui(u"AccurateRip ne connaît pas ce disque"),
    ui(u"AccurateRip ne répond pas"),
    ui(u"aucune piste ne concorde à un seul décalage"),
    ui(u"le disque ne peut pas être lu"),
    ui(u"Lecteur :"), ui(u"disque %s/%s"),
    ui(u"Arrêter"), ui(u"Exacte (confiance %s)"), ui(u"Inexacte"), ui(u"Absente de la base"), ui(u"Non vérifiée"),
    ui(u"Échec"), ui(u"Arrêtée"), ui(u"%s pistes sur %s complètes, %s exactes"), ui(u"Ouvrir le dossier"), ui(u"Afficher le journal"),
    ui(u"%s secteurs n’ont pas pu être lus"), ui(u"%s secteurs lus différemment à chaque fois"), ui(u"La piste n’a pas pu être lue ou son fichier écrit"),
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
