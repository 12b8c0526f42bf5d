#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"Este programa utiliza la biblioteca FreeType (https://freetype.org/).\n\n"
                               u"Los codificadores MP3, Vorbis y FLAC son programas independientes:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kSpanishTable = {
    ui(u"Aceptar"), ui(u"Cancelar"), ui(u"Archivo"), ui(u"Convertir"), ui(u"Consultar FreeDB"),
    ui(u"Salir\tAlt+F4"), ui(u"Ver"), ui(u"Opciones"), ui(u"Idioma"), TONVANE_LANGUAGE_NAMES, ui(u"Ayuda"),
    ui(u"Web de Tonvane"), ui(u"Inserte un CD de música"), ui(u"Título:"), ui(u"Pista"),
    ui(u"Duración:"), ui(u"Conectando con FreeDB..."), ui(u"Conectado a FreeDB"),
    ui(u"Enviando petición..."), ui(u"Recibiendo información..."), ui(u"Descarga completada"),
    ui(u"Error al conectar con FreeDB"), ui(u"Conexión con FreeDB interrumpida"), ui(u"Álbum:"),
    ui(u"Aplicar los cambios a todas las pistas"), ui(u"Buscar actualizaciones..."),
    ui(u"Buscando actualizaciones..."), ui(u"¿Desea actualizar a la versión %s?"),
    ui(u"Hay actualizaciones disponibles"), ui(u"No hay actualizaciones disponibles"),
    ui(u"Descargando..."), ui(u"Acerca de..."), ui(kAbout), ui(u"Ayuda..."),
    ui(product::kTutorialsPage), ui(u"Propiedades"), ui(u"Tutoriales"), ui(product::kWebPage),
    ui(u"Descarga"), ui(u"No se puede abrir %s: %s"),
    ui(u"permiso denegado. Añada su usuario al grupo \"cdrom\" y vuelva a iniciar sesión"),
    ui(u"la unidad está ocupada (otro programa la está usando)"),
    ui(u"Los archivos ya existen"),
    ui(u"%s ya existe en esta carpeta. ¿Reemplazar los archivos existentes o conservar ambos?"),
    ui(u"Reemplazar"),
    ui(u"Conservar ambos"),
    ui(u"Nueva carpeta"), ui(u"La descarga ha fallado"),
    ui(u"Modo de lectura:"),
    ui(u"Normal"),
    ui(u"Seguro"),
    ui(u"Probar y copiar"),
    ui(u"Comprobar las pistas con AccurateRip"),
    ui(u"Metadatos:"),
    ui(u"MusicBrainz y CDDB"),
    ui(u"Solo CDDB"),
    ui(u"Ninguno"),
    ui(u"Servidor CDDB:"),
    ui(u"Descargar la carátula"),
    ui(u"Una carpeta por álbum"),
    ui(u"Escribir etiquetas ReplayGain"),
    ui(u"Buscar actualizaciones al iniciar"),
    ui(u"Desplazamiento:"),
    ui(u"Detectar"),
    ui(u"%s muestras"),
    ui(u"%s muestras (%s pistas coinciden)"),
    ui(u"Consultando AccurateRip..."),
    ui(u"Leyendo la pista %s de %s..."),
    ui(u"Sin respuesta: %s"),
    ui(u"AccurateRip no conoce este disco"),
    ui(u"AccurateRip no responde"),
    ui(u"ninguna pista coincide con un solo desplazamiento"),
    ui(u"no se puede leer el disco"),
    ui(u"Unidad:"), ui(u"disco %s/%s"),
    ui(u"Detener"), ui(u"Exacta (confianza %s)"), ui(u"No exacta"), ui(u"No está en la base de datos"), ui(u"Sin comprobar"),
    ui(u"Error"), ui(u"Detenida"), ui(u"%s de %s pistas completas, %s exactas"), ui(u"Abrir carpeta"), ui(u"Ver registro"),
    ui(u"No se pudieron leer %s sectores"), ui(u"%s sectores se leyeron distinto cada vez"), ui(u"No se pudo leer la pista o escribir su archivo"),
    ui(u"Editar datos del álbum"),
    ui(u"Datos del álbum"),
    ui(u"Artista del álbum:"),
    ui(u"Año:"),
    ui(u"Género:"),
    ui(u"Títulos escritos"),
    ui(u"¿Reemplazar los títulos que escribió?"),
    ui(u"Conservar"),
};

} // namespace tonvane
