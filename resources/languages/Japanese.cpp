#include "resources/languages/SharedTexts.h"

namespace tonvane {
using texts::ui;

namespace {
constexpr char16_t kAbout[] = TONVANE_ABOUT_HEAD u"このプログラムは FreeType ライブラリ (https://freetype.org/) を使用しています。\n\n"
                               u"MP3、Vorbis、FLAC のエンコーダーは別のソフトウェアです:" TONVANE_ABOUT_LINKS;
} // namespace

extern const LanguageTable kJapaneseTable = {
    ui(u"OK"), ui(u"キャンセル"), ui(u"ファイル"), ui(u"変換"), ui(u"FreeDB を検索"), ui(u"終了\tAlt+F4"),
    ui(u"表示"), ui(u"オプション"), ui(u"言語"), TONVANE_LANGUAGE_NAMES, ui(u"ヘルプ"), ui(texts::kWebLabel),
    ui(u"音楽 CD を挿入してください"), ui(u"タイトル:"), ui(u"トラック"), ui(u"再生時間:"),
    ui(u"FreeDB に接続しています..."), ui(u"FreeDB に接続しました"), ui(u"要求を送信しています..."),
    ui(u"情報を受信しています..."), ui(u"ダウンロードが完了しました"), ui(u"FreeDB への接続エラー"),
    ui(u"FreeDB への接続が中断されました"), ui(u"アルバム:"), ui(u"すべてのトラックに変更を適用"),
    ui(u"更新の確認..."), ui(u"更新を確認しています..."), ui(u"バージョン %s にアップグレードしますか?"),
    ui(u"利用可能な更新があります"), ui(u"利用可能な更新はありません"), ui(u"ダウンロードしています..."),
    ui(u"バージョン情報..."), ui(kAbout), ui(u"ヘルプ..."), ui(product::kTutorialsPage),
    ui(u"プロパティ"), ui(u"チュートリアル"), ui(product::kWebPage),
    ui(u"ダウンロード"), ui(u"%s を開けません: %s"),
    ui(u"アクセスが拒否されました。ユーザーを \"cdrom\" グループに追加して、ログインし直してください"),
    ui(u"ドライブは使用中です (別のプログラムが使用しています)"),
    ui(u"ファイルは既に存在します"),
    ui(u"%s はこのフォルダーに既に存在します。既存のファイルを置き換えますか、それとも両方を残しますか?"),
    ui(u"置き換える"),
    ui(u"両方を残す"),
    ui(u"新しいフォルダー"), ui(u"ダウンロードに失敗しました"),
    ui(u"アルバム情報を編集"),
    ui(u"アルバム情報"),
    ui(u"アルバムアーティスト:"),
    ui(u"年:"),
    ui(u"ジャンル:"),
    ui(u"入力したタイトル"),
    ui(u"入力したタイトルを置き換えますか?"),
    ui(u"保持"),
};

} // namespace tonvane
