#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"Эта программа использует библиотеку FreeType (https://freetype.org/).\n\n"
                               u"Кодировщики MP3, Vorbis и FLAC — отдельные программы:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kRussianTable = {
    ui(u"OK"), ui(u"Отмена"), ui(u"Файл"), ui(u"Конвертировать"), ui(u"Запросить FreeDB"),
    ui(u"Выход\tAlt+F4"), ui(u"Вид"), ui(u"Параметры"), ui(u"Язык"), TONVANE_LANGUAGE_NAMES, ui(u"Справка"),
    ui(texts::kWebLabel), ui(u"Вставьте музыкальный CD"), ui(u"Название:"), ui(u"Трек"),
    ui(u"Время звучания:"), ui(u"Подключение к FreeDB..."), ui(u"Подключено к FreeDB"),
    ui(u"Отправка запроса..."), ui(u"Получение информации..."), ui(u"Загрузка завершена"),
    ui(u"Ошибка подключения к FreeDB"), ui(u"Подключение к FreeDB прервано"), ui(u"Альбом:"),
    ui(u"Применить изменения ко всем трекам"), ui(u"Проверить обновления..."),
    ui(u"Проверка обновлений..."), ui(u"Обновить программу до версии %s?"),
    ui(u"Доступны обновления"), ui(u"Обновлений нет"), ui(u"Загрузка..."), ui(u"О программе..."),
    ui(kAbout), ui(u"Справка..."), ui(product::kTutorialsPage), ui(u"Свойства"),
    ui(u"Руководства"), ui(product::kWebPage),
    ui(u"Загрузка"), ui(u"Не удаётся открыть %s: %s"),
    ui(u"доступ запрещён. Добавьте пользователя в группу «cdrom» и войдите в систему заново"),
    ui(u"привод занят (его использует другая программа)"),
    ui(u"Файлы уже существуют"),
    ui(u"%s уже есть в этой папке. Заменить существующие файлы или сохранить оба?"),
    ui(u"Заменить"),
    ui(u"Сохранить оба"),
    ui(u"Новая папка"), ui(u"Не удалось загрузить файл"),
    ui(u"Режим чтения:"),
    ui(u"Обычный"),
    ui(u"Надёжный"),
    ui(u"Проверка и копия"),
    ui(u"Проверять треки по AccurateRip"),
    ui(u"Метаданные:"),
    ui(u"MusicBrainz и CDDB"),
    ui(u"Только CDDB"),
    ui(u"Нет"),
    ui(u"Сервер CDDB:"),
    ui(u"Загружать обложку"),
    ui(u"Отдельная папка для альбома"),
    ui(u"Записывать теги ReplayGain"),
    ui(u"Проверять обновления при запуске"),
    ui(u"Смещение чтения:"),
    ui(u"Определить"),
    ui(u"%s сэмпл."),
    ui(u"%s сэмпл. (совпали треки: %s)"),
    ui(u"Запрос к AccurateRip..."),
    ui(u"Чтение трека %s из %s..."),
    ui(u"Нет ответа: %s"),
    ui(u"AccurateRip не знает этот диск"),
    ui(u"AccurateRip не отвечает"),
    ui(u"ни один трек не совпал при одном смещении"),
    ui(u"диск не читается"),
    ui(u"Привод:"), ui(u"диск %s/%s"),
};

} // namespace tonvane
