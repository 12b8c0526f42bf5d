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
    ui(u"読み取りモード:"),
    ui(u"標準"),
    ui(u"セキュア"),
    ui(u"テストとコピー"),
    ui(u"AccurateRip でトラックを照合"),
    ui(u"メタデータ:"),
    ui(u"MusicBrainz と CDDB"),
    ui(u"CDDB のみ"),
    ui(u"なし"),
    ui(u"CDDB サーバー:"),
    ui(u"カバーアートをダウンロード"),
    ui(u"アルバムごとにフォルダーを作成"),
    ui(u"ReplayGain タグを書き込む"),
    ui(u"起動時に更新を確認"),
    ui(u"読み取りオフセット:"),
    ui(u"検出"),
    ui(u"%s サンプル"),
    ui(u"%s サンプル (%s トラックが一致)"),
    ui(u"AccurateRip に問い合わせ中..."),
    ui(u"トラック %s / %s を読み取り中..."),
    ui(u"結果なし: %s"),
    ui(u"AccurateRip にこのディスクの記録がありません"),
    ui(u"AccurateRip から応答がありません"),
    ui(u"単一のオフセットで一致するトラックがありません"),
    ui(u"ディスクを読み取れません"),
    ui(u"ドライブ:"), ui(u"ディスク %s/%s"),
    ui(u"停止"), ui(u"正確 (信頼度 %s)"), ui(u"不正確"), ui(u"データベースにありません"), ui(u"未確認"),
    ui(u"失敗"), ui(u"停止しました"), ui(u"%s / %s トラック完全、%s 正確"), ui(u"フォルダーを開く"), ui(u"ログを表示"),
    ui(u"%s セクターを読み取れませんでした"), ui(u"%s セクターの読み取りが毎回異なりました"), ui(u"トラックを読み取れないか、ファイルを書き込めませんでした"),
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
