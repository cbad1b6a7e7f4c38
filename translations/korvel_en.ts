<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja_JP">
<context>
    <name>Drives</name>
    <message>
        <source>ホーム (%1)</source>
        <translation>Home (%1)</translation>
    </message>
</context>
<context>
    <name>ErrorReason</name>
    <message>
        <source>空き容量が足りません</source>
        <translation>Not enough free space</translation>
    </message>
    <message>
        <source>書き込みが禁止されています</source>
        <translation>The disk is read-only</translation>
    </message>
    <message>
        <source>アクセス権がありません</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます</source>
        <translation>The file name is too long</translation>
    </message>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>The file does not exist</translation>
    </message>
    <message>
        <source>同じ名前のファイルが既にあります</source>
        <translation>A file with the same name already exists</translation>
    </message>
    <message>
        <source>フォルダではありません</source>
        <translation>Not a folder</translation>
    </message>
    <message>
        <source>ファイルではなくフォルダです</source>
        <translation>This is a folder, not a file</translation>
    </message>
    <message>
        <source>フォルダが空ではありません</source>
        <translation>The folder is not empty</translation>
    </message>
    <message>
        <source>別のドライブへは移せません</source>
        <translation>Cannot be moved to another file system</translation>
    </message>
    <message>
        <source>使用中です</source>
        <translation>In use</translation>
    </message>
    <message>
        <source>読み書きのエラーが起きました</source>
        <translation>A read or write error occurred</translation>
    </message>
    <message>
        <source>開いているファイルが多すぎます</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます</source>
        <translation>The file is too large</translation>
    </message>
    <message>
        <source>シンボリックリンクが深く入れ子になりすぎています</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>名前が正しくありません</source>
        <translation>The name is not valid</translation>
    </message>
    <message>
        <source>この種類のファイルには対応していません</source>
        <translation>This kind of file is not supported</translation>
    </message>
</context>
<context>
    <name>ExtendedCopy</name>
    <message>
        <source>サイズまたは画質の設定が空です</source>
        <translation>The size or quality setting is empty</translation>
    </message>
    <message>
        <source>&quot;%1&quot;は処理出来ませんでした。</source>
        <translation>Could not process &quot;%1&quot;.</translation>
    </message>
</context>
<context>
    <name>FileCommands</name>
    <message>
        <source>フォルダ作成</source>
        <translation>Create Folder</translation>
    </message>
    <message>
        <source> は存在しません。作成しますか？</source>
        <translation> does not exist. Create it?</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>指定したフォルダを作成出来ません。</source>
        <translation>Cannot create the folder.</translation>
    </message>
    <message>
        <source>コピー先フォルダを指定して下さい</source>
        <translation>Choose the folder to copy to</translation>
    </message>
    <message>
        <source>移動先フォルダを指定して下さい</source>
        <translation>Choose the folder to move to</translation>
    </message>
</context>
<context>
    <name>FileFormats</name>
    <message>
        <source>すべてのファイル (%1)</source>
        <translation>All files (%1)</translation>
    </message>
    <message>
        <source>メタファイル</source>
        <translation>Metafile</translation>
    </message>
    <message>
        <source>エンハンス メタファイル</source>
        <translation>Enhanced Metafile</translation>
    </message>
    <message>
        <source>アイコン</source>
        <translation>Icon</translation>
    </message>
    <message>
        <source>ビットマップ</source>
        <translation>Bitmap</translation>
    </message>
    <message>
        <source>GIF Image</source>
        <translation>GIF Image</translation>
    </message>
    <message>
        <source>JPEG イメージファイル</source>
        <translation>JPEG Image File</translation>
    </message>
    <message>
        <source>PNG Format</source>
        <translation>PNG Format</translation>
    </message>
</context>
<context>
    <name>FileOperation</name>
    <message>
        <source>%1 を読み込めませんでした。</source>
        <translation>Could not read %1.</translation>
    </message>
    <message>
        <source>%1 を開けませんでした。</source>
        <translation>Could not open %1.</translation>
    </message>
    <message>
        <source>%1 をコピー出来ませんでした。</source>
        <translation>Could not copy %1.</translation>
    </message>
    <message>
        <source>%1 を作成出来ませんでした。</source>
        <translation>Could not create %1.</translation>
    </message>
    <message>
        <source>%1 に書き込めませんでした。</source>
        <translation>Could not write to %1.</translation>
    </message>
    <message>
        <source>%1 を移動出来ませんでした。</source>
        <translation>Could not move %1.</translation>
    </message>
    <message>
        <source>%1 はコピーしましたが、元のファイルを削除出来ませんでした。</source>
        <translation>%1 was copied, but the original could not be deleted.</translation>
    </message>
    <message>
        <source>%1 はフォルダなので、ファイルで置き換えられません。</source>
        <translation>%1 is a folder and cannot be replaced by a file.</translation>
    </message>
    <message>
        <source>%1 をそれ自身の中へコピー出来ません。</source>
        <translation>Cannot copy %1 into itself.</translation>
    </message>
    <message>
        <source>%1 をそれ自身の中へ移動出来ません。</source>
        <translation>Cannot move %1 into itself.</translation>
    </message>
    <message>
        <source>%1 はコピー中に変更されました。</source>
        <translation>%1 changed while it was being copied.</translation>
    </message>
    <message>
        <source>%1 を削除出来ませんでした。</source>
        <translation>Could not delete %1.</translation>
    </message>
    <message>
        <source>%1 をごみ箱に移動出来ませんでした。</source>
        <translation>Could not move %1 to the Trash.</translation>
    </message>
</context>
<context>
    <name>FolderBoxes</name>
    <message>
        <source>お気に入り</source>
        <translation>Favourites</translation>
    </message>
    <message>
        <source>履歴</source>
        <translation>History</translation>
    </message>
</context>
<context>
    <name>FolderTreePanel</name>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>フォルダを作成出来ませんでした。</source>
        <translation>Could not create the folder.</translation>
    </message>
    <message>
        <source>フォルダ名を変更出来ませんでした。</source>
        <translation>Could not rename the folder.</translation>
    </message>
</context>
<context>
    <name>MainBands</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>編集(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>ｵﾌﾟｼｮﾝ(&amp;O)</source>
        <translation>&amp;Options</translation>
    </message>
    <message>
        <source>ﾍﾙﾌﾟ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>お気に入り</source>
        <translation>Favourites</translation>
    </message>
    <message>
        <source>履歴</source>
        <translation>History</translation>
    </message>
</context>
<context>
    <name>Picture</name>
    <message>
        <source>拡張子 .%1 の画像形式は処理できません</source>
        <translation>Images with the extension .%1 cannot be read</translation>
    </message>
    <message>
        <source>%1: 読み込めません (%2)</source>
        <translation>%1: cannot be read (%2)</translation>
    </message>
    <message>
        <source>%1: ファイルが壊れています (%2)</source>
        <translation>%1: the file is damaged (%2)</translation>
    </message>
    <message>
        <source>%1: 対応していない種類です (%2)</source>
        <translation>%1: this variant is not supported (%2)</translation>
    </message>
    <message>
        <source>%1: 上限を超えています (%2)</source>
        <translation>%1: over a limit (%2)</translation>
    </message>
    <message>
        <source>%1: プラグインがありません</source>
        <translation>%1: the plug-in is not installed</translation>
    </message>
    <message>
        <source>%1: プラグインは無効にされています</source>
        <translation>%1: the plug-in has been disabled</translation>
    </message>
    <message>
        <source>%1: ライブラリ %2 がありません (パッケージ %3)</source>
        <translation>%1: the library %2 is missing (package %3)</translation>
    </message>
    <message>
        <source>%1 (拡張子 .%2)</source>
        <translation>%1 (extension .%2)</translation>
    </message>
    <message>
        <source>%1 のデコーダーがありません</source>
        <translation>no %1 decoder is installed</translation>
    </message>
</context>
<context>
    <name>PreviewPanel</name>
    <message>
        <source>選択したファイルは見つかりませんでした。</source>
        <translation>The selected file was not found.</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>指定したフォルダは既に存在します。</source>
        <translation>The folder already exists.</translation>
    </message>
    <message>
        <source>変更前</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>変更後</source>
        <translation>After</translation>
    </message>
    <message>
        <source>他のファイルと同じ名前</source>
        <translation>Same name as another file</translation>
    </message>
    <message>
        <source>使えない名前</source>
        <translation>Name not allowed</translation>
    </message>
    <message>
        <source>既に存在する名前</source>
        <translation>Name already taken</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>処理を開始出来ませんでした。</source>
        <translation>Could not start the operation.</translation>
    </message>
    <message>
        <source>%1 / %2 ファイル  %3 / %4 MB
%5</source>
        <translation>%1 / %2 files  %3 / %4 MB
%5</translation>
    </message>
    <message>
        <source>ファイルの置き換え</source>
        <translation>Replace File</translation>
    </message>
    <message>
        <source> は既に存在します。置き換えますか？</source>
        <translation> already exists. Replace it?</translation>
    </message>
    <message>
        <source>置き換え(&amp;Y)</source>
        <translation>&amp;Replace</translation>
    </message>
    <message>
        <source>スキップ(&amp;N)</source>
        <translation>S&amp;kip</translation>
    </message>
    <message>
        <source>全て置き換え(&amp;A)</source>
        <translation>Replace &amp;All</translation>
    </message>
    <message>
        <source>全てスキップ(&amp;S)</source>
        <translation>&amp;Skip All</translation>
    </message>
    <message>
        <source>スキップ(&amp;S)</source>
        <translation>&amp;Skip</translation>
    </message>
    <message>
        <source>以降のエラーを表示しない</source>
        <translation>Do not show further errors</translation>
    </message>
    <message>
        <source>削除の確認</source>
        <translation>Confirm Delete</translation>
    </message>
    <message>
        <source>%1 個の項目</source>
        <translation>%1 items</translation>
    </message>
    <message>
        <source> をごみ箱に移動しますか？</source>
        <translation>: move to the Trash?</translation>
    </message>
    <message>
        <source> はごみ箱に移動できません。完全に削除しますか？</source>
        <translation> cannot be moved to the Trash. Delete it permanently?</translation>
    </message>
    <message>
        <source>%1 個の項目を処理出来ませんでした。</source>
        <translation>Items that could not be processed: %1.</translation>
    </message>
    <message>
        <source>プロパティ</source>
        <translation>Properties</translation>
    </message>
    <message>
        <source>画像を回転出来ません。</source>
        <translation>Cannot rotate the image.</translation>
    </message>
    <message>
        <source>クリップボードへコピー出来ませんでした。</source>
        <translation>Could not copy to the clipboard.</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>切り取る(&amp;T)</source>
        <translation>&amp;Trim</translation>
    </message>
    <message>
        <source>そのままにする(&amp;K)</source>
        <translation>&amp;Keep as it is</translation>
    </message>
    <message>
        <source>日付を読めません</source>
        <translation>Cannot read its dates</translation>
    </message>
</context>
<context>
    <name>QuickFolderBar</name>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>フォルダの設定をクリアします。
よろしいですか？</source>
        <translation>The folder setting will be cleared.
Are you sure?</translation>
    </message>
</context>
<context>
    <name>Rename</name>
    <message>
        <source>名前を変更出来ませんでした。</source>
        <translation>Could not rename.</translation>
    </message>
    <message>
        <source>%1 は名前を変更出来ません。</source>
        <translation>Cannot rename %1.</translation>
    </message>
    <message>
        <source>拡張子の前にファイル名がありません</source>
        <translation>There is no file name before the extension</translation>
    </message>
</context>
<context>
    <name>SusiePlugins</name>
    <message>
        <source>TSPIs は複数生成できません</source>
        <translation>TSPIs can be created only once</translation>
    </message>
    <message>
        <source>%1:Susie Pluginがロードできませんでした</source>
        <translation>%1: the Susie plug-in could not be loaded</translation>
    </message>
    <message>
        <source>%1は[%2]では使えないSusie Plugin APIです</source>
        <translation>%1 is a Susie plug-in API that cannot be used for [%2]</translation>
    </message>
</context>
<context>
    <name>TFolderNameInputFrm</name>
    <message>
        <source>フォルダ名を変更</source>
        <translation>Rename Folder</translation>
    </message>
    <message>
        <source>変更するフォルダー名を入力して下さい。</source>
        <translation>Enter the new folder name.</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TFolderPicker</name>
    <message>
        <source>フォルダの参照</source>
        <translation>Browse for Folder</translation>
    </message>
    <message>
        <source>新しいフォルダ</source>
        <translation>New Folder</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>お気に入り</source>
        <translation>Favourites</translation>
    </message>
    <message>
        <source>ｸｲｯｸﾌｫﾙﾀﾞ</source>
        <translation>Quick Folders</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>フォルダを作成出来ませんでした。</source>
        <translation>Could not create the folder.</translation>
    </message>
</context>
<context>
    <name>TInputNameFrm</name>
    <message>
        <source>名前を入力</source>
        <translation>Enter Name</translation>
    </message>
    <message>
        <source>新規作成するフォルダ名を入力して下さい。</source>
        <translation>Enter a name for the new folder.</translation>
    </message>
    <message>
        <source>新しいﾌｫﾙﾀﾞ</source>
        <translation>New Folder</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TKorvelMain</name>
    <message>
        <source>ｱﾌﾟﾘｹｰｼｮﾝの終了</source>
        <translation>Quit Korvel</translation>
    </message>
    <message>
        <source>ファイルのコピー</source>
        <translation>Copy files</translation>
    </message>
    <message>
        <source>拡張コピー</source>
        <translation>Extended copy</translation>
    </message>
    <message>
        <source>ファイルの移動</source>
        <translation>Move files</translation>
    </message>
    <message>
        <source>ファイルの削除</source>
        <translation>Delete files</translation>
    </message>
    <message>
        <source>名前の変更</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>連番で名前を変更</source>
        <translation>Rename with serial numbers</translation>
    </message>
    <message>
        <source>ｽﾗｲﾄﾞｼｮｰ</source>
        <translation>Slideshow</translation>
    </message>
    <message>
        <source>表示切替</source>
        <translation>Original size</translation>
    </message>
    <message>
        <source>お気に入りフォルダのみ表示</source>
        <translation>Show only favourite folders</translation>
    </message>
    <message>
        <source>ﾃﾞｨﾚｸﾄﾘﾂﾘｰを表示しない</source>
        <translation>Hide the folder tree</translation>
    </message>
    <message>
        <source>ｻﾌﾞﾌｫﾙﾀﾞのﾌｧｲﾙも表示</source>
        <translation>Include files in sub-folders</translation>
    </message>
    <message>
        <source>情報表示の切替</source>
        <translation>Cycle thumbnail info</translation>
    </message>
    <message>
        <source>ｸｲｯｸﾌｫﾙﾀﾞ名の表示</source>
        <translation>Show quick-folder captions</translation>
    </message>
    <message>
        <source>昇順で並び替え</source>
        <translation>Sort ascending</translation>
    </message>
    <message>
        <source>降順で並び替え</source>
        <translation>Sort descending</translation>
    </message>
    <message>
        <source>最新の情報に更新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>ｵﾌﾟｼｮﾝ設定</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>ﾌﾟﾗｸﾞｲﾝ設定</source>
        <translation>Plug-ins</translation>
    </message>
    <message>
        <source>ヘルプ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>Korvelについて</source>
        <translation>About Korvel</translation>
    </message>
    <message>
        <source>関連付けで開く(&amp;O)</source>
        <translation>&amp;Open with Default Program</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy...</translation>
    </message>
    <message>
        <source>拡張コピー(&amp;K)</source>
        <translation>E&amp;xtended Copy...</translation>
    </message>
    <message>
        <source>移動(&amp;M)</source>
        <translation>&amp;Move...</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>名前の変更(&amp;R)</source>
        <translation>&amp;Rename...</translation>
    </message>
    <message>
        <source>連番で変更(&amp;N)</source>
        <translation>Re&amp;name with Numbers...</translation>
    </message>
    <message>
        <source>壁紙に設定(&amp;W)</source>
        <translation>Set as &amp;Wallpaper</translation>
    </message>
    <message>
        <source>並べて表示(&amp;T)</source>
        <translation>&amp;Tile</translation>
    </message>
    <message>
        <source>中央に表示(&amp;C)</source>
        <translation>&amp;Centre</translation>
    </message>
    <message>
        <source>画面サイズ(&amp;S)</source>
        <translation>&amp;Stretch to Screen</translation>
    </message>
    <message>
        <source>画面サイズ（対比保持）(&amp;F)</source>
        <translation>&amp;Fit to Screen (Keep Proportions)</translation>
    </message>
    <message>
        <source>ｻﾑﾈｲﾙを全て選択(&amp;A)</source>
        <translation>Select &amp;All Thumbnails</translation>
    </message>
    <message>
        <source>スライドショー(&amp;S)</source>
        <translation>&amp;Slideshow</translation>
    </message>
    <message>
        <source>表示の切替(&amp;N)</source>
        <translation>Origi&amp;nal Size</translation>
    </message>
    <message>
        <source>お気に入りフォルダのみ表示(&amp;F)</source>
        <translation>Only &amp;Favourite Folders</translation>
    </message>
    <message>
        <source>ﾃﾞｨﾚｸﾄﾘﾂﾘｰを表示しない(&amp;D)</source>
        <translation>Hi&amp;de Folder Tree</translation>
    </message>
    <message>
        <source>ｻﾌﾞﾌｫﾙﾀﾞのﾌｧｲﾙも表示(&amp;A)</source>
        <translation>Include Files in Su&amp;b-folders</translation>
    </message>
    <message>
        <source>情報表示の切替(&amp;V)</source>
        <translation>Thumbnail &amp;Info</translation>
    </message>
    <message>
        <source>ファイル名(&amp;F)</source>
        <translation>&amp;File Name</translation>
    </message>
    <message>
        <source>ファイルサイズ(&amp;S)</source>
        <translation>File &amp;Size</translation>
    </message>
    <message>
        <source>日付(&amp;D)</source>
        <translation>&amp;Date</translation>
    </message>
    <message>
        <source>拡張子(&amp;E)</source>
        <translation>&amp;Extension</translation>
    </message>
    <message>
        <source>ｸｲｯｸﾌｫﾙﾀﾞ名を表示する(&amp;Q)</source>
        <translation>Show &amp;Quick-folder Captions</translation>
    </message>
    <message>
        <source>最新の情報に更新(&amp;R)</source>
        <translation>&amp;Refresh</translation>
    </message>
    <message>
        <source>オプション設定(&amp;O)</source>
        <translation>&amp;Options...</translation>
    </message>
    <message>
        <source>ﾌﾟﾗｸﾞｲﾝ設定(&amp;P)</source>
        <translation>&amp;Plug-ins...</translation>
    </message>
    <message>
        <source>目次(&amp;C)</source>
        <translation>&amp;Contents</translation>
    </message>
    <message>
        <source>Korvelについて(&amp;A)</source>
        <translation>&amp;About Korvel</translation>
    </message>
    <message>
        <source>プロパティ(&amp;P)</source>
        <translation>&amp;Properties</translation>
    </message>
    <message>
        <source>ここに移動(&amp;M)</source>
        <translation>&amp;Move Here</translation>
    </message>
    <message>
        <source>ここにｺﾋﾟｰ(&amp;C)</source>
        <translation>&amp;Copy Here</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ(&amp;T)</source>
        <translation>Cance&amp;l</translation>
    </message>
    <message>
        <source>新規フォルダの作成(&amp;C)</source>
        <translation>&amp;Create Folder...</translation>
    </message>
    <message>
        <source>フォルダ名の変更(&amp;M)</source>
        <translation>Rena&amp;me Folder...</translation>
    </message>
    <message>
        <source>このフォルダを削除(&amp;D)</source>
        <translation>&amp;Delete This Folder</translation>
    </message>
    <message>
        <source>お気に入りに追加(&amp;A)</source>
        <translation>&amp;Add to Favourites</translation>
    </message>
    <message>
        <source>お気に入りの整理(&amp;S)</source>
        <translation>Organi&amp;se Favourites...</translation>
    </message>
    <message>
        <source>画像の回転(&amp;T)</source>
        <translation>Ro&amp;tate</translation>
    </message>
    <message>
        <source>右90度(&amp;R)</source>
        <translation>&amp;Right 90°</translation>
    </message>
    <message>
        <source>180度(&amp;T)</source>
        <translation>&amp;180°</translation>
    </message>
    <message>
        <source>左90度(&amp;L)</source>
        <translation>&amp;Left 90°</translation>
    </message>
    <message>
        <source>ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ(&amp;C)</source>
        <translation>&amp;Copy to Clipboard</translation>
    </message>
    <message>
        <source>設定・変更(&amp;S)</source>
        <translation>&amp;Set or Change...</translation>
    </message>
    <message>
        <source>設定をクリア(&amp;D)</source>
        <translation>&amp;Clear</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
    <message>
        <source>回転を保存(&amp;V)</source>
        <translation>Sa&amp;ve Turn</translation>
    </message>
    <message>
        <source>撮影日時(&amp;T)</source>
        <translation>Date &amp;Taken</translation>
    </message>
</context>
<context>
    <name>TKorvelSubFrm</name>
    <message>
        <source>拡大(&amp;+)</source>
        <translation>Zoom &amp;In</translation>
    </message>
    <message>
        <source>縮小(&amp;-)</source>
        <translation>Zoom &amp;Out</translation>
    </message>
    <message>
        <source>画像の回転(&amp;T)</source>
        <translation>Ro&amp;tate</translation>
    </message>
    <message>
        <source>右90度(&amp;R)</source>
        <translation>&amp;Right 90°</translation>
    </message>
    <message>
        <source>180度(&amp;T)</source>
        <translation>&amp;180°</translation>
    </message>
    <message>
        <source>左90度(&amp;L)</source>
        <translation>&amp;Left 90°</translation>
    </message>
    <message>
        <source>ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ(&amp;C)</source>
        <translation>&amp;Copy to Clipboard</translation>
    </message>
    <message>
        <source>重ねて表示(&amp;S)</source>
        <translation>Ca&amp;scade</translation>
    </message>
    <message>
        <source>上下に並べて表示(&amp;H)</source>
        <translation>Tile &amp;Horizontally</translation>
    </message>
    <message>
        <source>左右に並べて表示(&amp;V)</source>
        <translation>Tile &amp;Vertically</translation>
    </message>
    <message>
        <source>全サブウィンドウを最小化(&amp;M)</source>
        <translation>&amp;Minimise All Viewers</translation>
    </message>
    <message>
        <source>全サブウィンドウを閉じる(&amp;X)</source>
        <translation>Close &amp;All Viewers</translation>
    </message>
    <message>
        <source> － 画像を表示出来ません。</source>
        <translation> – cannot show the image.</translation>
    </message>
    <message>
        <source>回転を保存(&amp;V)</source>
        <translation>Sa&amp;ve Turn</translation>
    </message>
    <message>
        <source>ｱﾆﾒｰｼｮﾝの一時停止(&amp;P)</source>
        <translation>&amp;Pause Animation</translation>
    </message>
    <message>
        <source>次のｺﾏへ(&amp;N)</source>
        <translation>&amp;Next Frame</translation>
    </message>
</context>
<context>
    <name>TNumberFrm</name>
    <message>
        <source>連番で名前変更： </source>
        <translation>Rename with Numbers: </translation>
    </message>
    <message>
        <source>名前を変更しないファイル</source>
        <translation>Files not to rename</translation>
    </message>
    <message>
        <source>名前を変更するファイル</source>
        <translation>Files to rename</translation>
    </message>
    <message>
        <source>上へ</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下へ</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>拡張子</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>変更なし</source>
        <translation>Unchanged</translation>
    </message>
    <message>
        <source>大文字</source>
        <translation>Upper case</translation>
    </message>
    <message>
        <source>小文字</source>
        <translation>Lower case</translation>
    </message>
    <message>
        <source>連番を挿入する場所に半角英数で  \ を入れて下さい。</source>
        <translation>Type a \ where the number goes.</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>例）ﾌｧｲﾙ名を A\B、開始を 1、桁数を 3</source>
        <translation>Example: name A\B, start 1, 3 digits</translation>
    </message>
    <message>
        <source>→A001B.bmp</source>
        <translation>→ A001B.bmp</translation>
    </message>
    <message>
        <source>ファイル名を指定（拡張子は不要）</source>
        <translation>File name (without extension)</translation>
    </message>
    <message>
        <source>開始番号</source>
        <translation>Start at</translation>
    </message>
    <message>
        <source>桁数</source>
        <translation>Digits</translation>
    </message>
    <message>
        <source>ファイル名を指定して下さい。</source>
        <translation>Enter a file name.</translation>
    </message>
    <message>
        <source>連番を挿入する所に \ を入れて下さい。</source>
        <translation>Type a \ where the number goes.</translation>
    </message>
    <message>
        <source>%1 個のファイルの名前を変更します。</source>
        <translation>Files to rename: %1.</translation>
    </message>
    <message>
        <source>  %1 個のファイルが同じ名前になります。</source>
        <translation>  Files that would get the same name: %1.</translation>
    </message>
    <message>
        <source>  %1 個は変更出来ません。</source>
        <translation>  Cannot be renamed: %1.</translation>
    </message>
    <message>
        <source>ファイル名の指定に誤りがあります。</source>
        <translation>The file name is not valid.</translation>
    </message>
    <message>
        <source>%1 個のファイルが同じ名前になります。名前は変更しませんでした。</source>
        <translation>Files that would get the same name: %1. Nothing was renamed.</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>{taken:yyyyMMdd_HHmmss} は撮影日時、{mtime:yyyyMMdd_HHmmss} は更新日時になります。
使える文字: yyyy yy MM dd HH mm ss と記号</source>
        <translation>{taken:yyyyMMdd_HHmmss} becomes the date taken, {mtime:yyyyMMdd_HHmmss} the date modified.
Fields: yyyy yy MM dd HH mm ss, and symbols</translation>
    </message>
    <message>
        <source>日付の指定に誤りがあります。</source>
        <translation>The date format is wrong.</translation>
    </message>
</context>
<context>
    <name>TOpCopyFrm</name>
    <message>
        <source>拡張コピー</source>
        <translation>Extended Copy</translation>
    </message>
    <message>
        <source>コピーしないファイル</source>
        <translation>Files not to copy</translation>
    </message>
    <message>
        <source>コピーするファイル</source>
        <translation>Files to copy</translation>
    </message>
    <message>
        <source>拡張コピー保存先フォルダ</source>
        <translation>Destination folder</translation>
    </message>
    <message>
        <source>フォルダを選択</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>保存形式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>BMP形式</source>
        <translation>BMP</translation>
    </message>
    <message>
        <source>JPEG形式</source>
        <translation>JPEG</translation>
    </message>
    <message>
        <source>PNG形式</source>
        <translation>PNG</translation>
    </message>
    <message>
        <source>通常圧縮</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>速度優先</source>
        <translation>Fastest</translation>
    </message>
    <message>
        <source>圧縮優先</source>
        <translation>Smallest</translation>
    </message>
    <message>
        <source>コピーオプション</source>
        <translation>Copy options</translation>
    </message>
    <message>
        <source>元のサイズ</source>
        <translation>Original size</translation>
    </message>
    <message>
        <source>拡大・縮小</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>指定サイズ</source>
        <translation>Fixed size</translation>
    </message>
    <message>
        <source>縦横比の維持</source>
        <translation>Keep proportions</translation>
    </message>
    <message>
        <source>サイズ変更時は画質を優先する</source>
        <translation>Best quality when resizing</translation>
    </message>
    <message>
        <source>日付を元ファイルと合わせる</source>
        <translation>Keep the original file&apos;s date</translation>
    </message>
    <message>
        <source>画像の回転</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>しない</source>
        <translation>None</translation>
    </message>
    <message>
        <source>90度</source>
        <translation>90°</translation>
    </message>
    <message>
        <source>180度</source>
        <translation>180°</translation>
    </message>
    <message>
        <source>270度</source>
        <translation>270°</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>は整数ではありません。</source>
        <translation> is not a whole number.</translation>
    </message>
    <message>
        <source>をフルパスで指定して下さい。</source>
        <translation>: enter a full path.</translation>
    </message>
</context>
<context>
    <name>TOptionFrm</name>
    <message>
        <source>オプション設定</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>全般</source>
        <translation>General</translation>
    </message>
    <message>
        <source>ウインドウ状態を保存する</source>
        <translation>Remember the window layout</translation>
    </message>
    <message>
        <source>起動時に前回のフォルダを開く</source>
        <translation>Open the last folder at start</translation>
    </message>
    <message>
        <source>起動時に開くフォルダを指定</source>
        <translation>Open this folder at start</translation>
    </message>
    <message>
        <source>起動時は別ウィンドウを開かない</source>
        <translation>Do not open a viewer for a file given at start</translation>
    </message>
    <message>
        <source>終了時に履歴をクリア</source>
        <translation>Clear the history on exit</translation>
    </message>
    <message>
        <source>ｻﾌﾞﾌｫﾙﾀﾞ表示はその都度ｸﾘｱ</source>
        <translation>Switch sub-folder listing off after each use</translation>
    </message>
    <message>
        <source>今すぐ履歴をクリア</source>
        <translation>Clear History Now</translation>
    </message>
    <message>
        <source>ｽﾗｲﾄﾞｼｮｰ</source>
        <translation>Slideshow</translation>
    </message>
    <message>
        <source>表示時間（ms）</source>
        <translation>Interval (ms)</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>Background colour</translation>
    </message>
    <message>
        <source>繰り返し表示する</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>ﾌﾙｽｸﾘｰﾝ表示にする</source>
        <translation>Full screen</translation>
    </message>
    <message>
        <source>「再生中」を非表示</source>
        <translation>Hide the &quot;Playing&quot; caption</translation>
    </message>
    <message>
        <source>選択画像からスタート</source>
        <translation>Start at the selected image</translation>
    </message>
    <message>
        <source>一時停止状態でスタート</source>
        <translation>Start paused</translation>
    </message>
    <message>
        <source>ｽﾗｲﾄﾞｼｮｰは速度を優先する</source>
        <translation>Faster slideshow (lower quality)</translation>
    </message>
    <message>
        <source>表示</source>
        <translation>Display</translation>
    </message>
    <message>
        <source>ｾﾙｻｲｽﾞの変更</source>
        <translation>Thumbnail cell size</translation>
    </message>
    <message>
        <source>隠しﾌｧｲﾙは非表示</source>
        <translation>Do not list hidden files</translation>
    </message>
    <message>
        <source>ｻﾑﾈｲﾙは速度を優先</source>
        <translation>Faster thumbnails (lower quality)</translation>
    </message>
    <message>
        <source>先頭画像の拡大表示</source>
        <translation>Preview the current image after listing</translation>
    </message>
    <message>
        <source>枠より小さい画像は拡大</source>
        <translation>Enlarge images smaller than the pane</translation>
    </message>
    <message>
        <source>EXIFの向きに合わせて回転</source>
        <translation>Rotate by EXIF orientation</translation>
    </message>
    <message>
        <source>埋め込みカラープロファイルを使う</source>
        <translation>Use embedded colour profiles</translation>
    </message>
    <message>
        <source>共有サムネイルキャッシュを使う</source>
        <translation>Use the shared thumbnail cache</translation>
    </message>
    <message>
        <source>お気に入り</source>
        <translation>Favourites</translation>
    </message>
    <message>
        <source>上へ</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下へ</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>全て削除</source>
        <translation>Delete All</translation>
    </message>
    <message>
        <source>ｸｲｯｸﾌｫﾙﾀﾞ</source>
        <translation>Quick Folders</translation>
    </message>
    <message>
        <source>表示名</source>
        <translation>Caption</translation>
    </message>
    <message>
        <source>フルパス名</source>
        <translation>Full path</translation>
    </message>
    <message>
        <source>設定</source>
        <comment>button: edit the quick folder</comment>
        <translation>Edit...</translation>
    </message>
    <message>
        <source>クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>全てｸﾘｱ</source>
        <translation>Clear All</translation>
    </message>
    <message>
        <source>未設定</source>
        <translation>Not set</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>して下さい。</source>
        <translation>: choose the folder.</translation>
    </message>
    <message>
        <source>履歴を全て削除します。よろしいですか？</source>
        <translation>The whole history will be deleted. Are you sure?</translation>
    </message>
    <message>
        <source>お気に入りに追加するフォルダを指定して下さい。</source>
        <translation>Choose the folder to add to the favourites.</translation>
    </message>
    <message>
        <source>情報</source>
        <translation>Information</translation>
    </message>
    <message>
        <source> は既に登録済みです。</source>
        <translation> is already in the list.</translation>
    </message>
    <message>
        <source>選択したお気に入りを削除します。よろしいですか？</source>
        <translation>The selected favourite will be deleted. Are you sure?</translation>
    </message>
    <message>
        <source>お気に入りを全て削除します。よろしいですか？</source>
        <translation>All favourites will be deleted. Are you sure?</translation>
    </message>
    <message>
        <source> フォルダを選択して下さい</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>設定を全てクリアします。よろしいですか？</source>
        <translation>All quick folders will be cleared. Are you sure?</translation>
    </message>
    <message>
        <source>選択した設定をクリアします。よろしいですか？</source>
        <translation>The selected quick folder will be cleared. Are you sure?</translation>
    </message>
    <message>
        <source>設定のクリア</source>
        <translation>Clear Quick Folders</translation>
    </message>
    <message>
        <source>回転を保存しても更新日時を変えない(&amp;M)</source>
        <translation>Saving a turn keeps the &amp;modified time</translation>
    </message>
</context>
<context>
    <name>TPlugInFrm</name>
    <message>
        <source>プラグインの設定</source>
        <translation>Plug-in Settings</translation>
    </message>
    <message>
        <source>使用しないプラグインのチェックを外して下さい。</source>
        <translation>Untick the plug-ins you do not want to use.</translation>
    </message>
    <message>
        <source>設定の変更は次回起動時より反映されます。</source>
        <translation>Changes take effect the next time Korvel starts.</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>設定の変更は次回起動時より有効になります。</source>
        <translation>Changes take effect the next time Korvel starts.</translation>
    </message>
    <message>
        <source>設定の変更を保存出来ませんでした。</source>
        <translation>Could not save the changes.</translation>
    </message>
</context>
<context>
    <name>TQFSelectFrm</name>
    <message>
        <source>クイックフォルダー設定</source>
        <translation>Quick Folder Settings</translation>
    </message>
    <message>
        <source>設定するﾌｫﾙﾀﾞ名をﾌﾙﾊﾟｽで指定して下さい。</source>
        <translation>Enter the folder&apos;s full path.</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>表示名</source>
        <translation>Caption</translation>
    </message>
    <message>
        <source>（12ﾊﾞｲﾄ以内）</source>
        <translation>(12 characters at most)</translation>
    </message>
    <message>
        <source>未記入だとﾌｫﾙﾀﾞ名になります。</source>
        <translation>Left empty, the folder name is shown.</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source> フォルダを選択して下さい</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>フォルダ作成</source>
        <translation>Create Folder</translation>
    </message>
    <message>
        <source> は存在しません。作成しますか？</source>
        <translation> does not exist. Create it?</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>指定したフォルダを作成出来ません。</source>
        <translation>Cannot create the folder.</translation>
    </message>
</context>
<context>
    <name>TRNameFrm</name>
    <message>
        <source>名前の変更</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>ファイル名を指定</source>
        <translation>New name</translation>
    </message>
    <message>
        <source>大文字に変換</source>
        <translation>Upper case</translation>
    </message>
    <message>
        <source>小文字に変換</source>
        <translation>Lower case</translation>
    </message>
    <message>
        <source>全てOK</source>
        <translation>OK to All</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>全て中止</source>
        <translation>Cancel All</translation>
    </message>
    <message>
        <source>変更するファイル名</source>
        <translation>New file name</translation>
    </message>
    <message>
        <source>拡張子</source>
        <translation>Extension</translation>
    </message>
</context>
<context>
    <name>TSelectDir</name>
    <message>
        <source>フォルダーをフルパスで指定して下さい。</source>
        <translation>Enter the folder as a full path.</translation>
    </message>
    <message>
        <source>フォルダを選択</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ファイルのコピー</source>
        <translation>Copy Files</translation>
    </message>
    <message>
        <source>ファイルの移動</source>
        <translation>Move Files</translation>
    </message>
    <message>
        <source>コピー先フォルダ</source>
        <translation>Copy to folder</translation>
    </message>
    <message>
        <source>移動先フォルダ</source>
        <translation>Move to folder</translation>
    </message>
    <message>
        <source>コピーするファイル</source>
        <translation>Files to copy</translation>
    </message>
    <message>
        <source>移動するファイル</source>
        <translation>Files to move</translation>
    </message>
    <message>
        <source>コピーしないファイル</source>
        <translation>Files not to copy</translation>
    </message>
    <message>
        <source>移動しないファイル</source>
        <translation>Files not to move</translation>
    </message>
    <message>
        <source>をフルパスで指定して下さい。</source>
        <translation>: enter a full path.</translation>
    </message>
</context>
<context>
    <name>TShowFrm1</name>
    <message>
        <source>スライドショー&#x3000;読込中....</source>
        <translation>Slideshow  Loading...</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>一番最初へ</source>
        <translation>First</translation>
    </message>
    <message>
        <source>ひとつ前</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>一時停止</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>ひとつ先</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>一番最後へ</source>
        <translation>Last</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>一番最初へ(&amp;R)</source>
        <translation>Fi&amp;rst</translation>
    </message>
    <message>
        <source>ひとつ前(&amp;B)</source>
        <translation>&amp;Back</translation>
    </message>
    <message>
        <source>一時停止(&amp;A)</source>
        <translation>P&amp;ause</translation>
    </message>
    <message>
        <source>再生(&amp;S)</source>
        <translation>&amp;Play</translation>
    </message>
    <message>
        <source>ひとつ先(&amp;N)</source>
        <translation>&amp;Next</translation>
    </message>
    <message>
        <source>一番最後へ(&amp;F)</source>
        <translation>&amp;Last</translation>
    </message>
    <message>
        <source>再生中 : %1  ( %2/%3 )</source>
        <translation>Playing: %1  (%2/%3)</translation>
    </message>
    <message>
        <source>一時停止／再生</source>
        <translation>Pause / play</translation>
    </message>
    <message>
        <source>一行先、一行前</source>
        <translation>One row on, one row back</translation>
    </message>
    <message>
        <source>クリック、ホイールを手前へ</source>
        <translation>Click, wheel down</translation>
    </message>
    <message>
        <source>ホイールを奥へ</source>
        <translation>Wheel up</translation>
    </message>
    <message>
        <source>右クリック</source>
        <translation>Right click</translation>
    </message>
    <message>
        <source>メニュー</source>
        <translation>Menu</translation>
    </message>
</context>
<context>
    <name>TTwoLists</name>
    <message>
        <source>対象外のファイル</source>
        <translation>Files left out</translation>
    </message>
    <message>
        <source>選択を戻す</source>
        <translation>Leave Out Selected</translation>
    </message>
    <message>
        <source>選択を追加</source>
        <translation>Add Selected</translation>
    </message>
    <message>
        <source>全て戻す</source>
        <translation>Leave Out All</translation>
    </message>
    <message>
        <source>全て追加</source>
        <translation>Add All</translation>
    </message>
    <message>
        <source>対象ファイル</source>
        <translation>Files included</translation>
    </message>
</context>
<context>
    <name>Turn</name>
    <message>
        <source>%1 は既に正しい向きです。</source>
        <translation>%1 is already upright.</translation>
    </message>
    <message>
        <source>%1 は幅か高さがブロックの倍数ではないので、そのままにしました。</source>
        <translation>The width or height of %1 is not a whole number of blocks, so it was left as it is.</translation>
    </message>
    <message>
        <source>%1 はJPEG、PNG、BMP以外の形式なので、回転を保存出来ません。</source>
        <translation>%1 is not a JPEG, PNG or BMP file, so its turn cannot be saved.</translation>
    </message>
    <message>
        <source>%1 を画像として読み込めませんでした。</source>
        <translation>%1 could not be read as a picture.</translation>
    </message>
    <message>
        <source>%1 に回転を保存出来ませんでした。</source>
        <translation>The turn could not be saved to %1.</translation>
    </message>
    <message>
        <source>%1 は幅か高さがブロックの倍数ではありません。
端のブロックを切り取って回転しますか?</source>
        <translation>The width or height of %1 is not a whole number of blocks.
Trim the edge blocks and turn it?</translation>
    </message>
</context>
<context>
    <name>Undo</name>
    <message>
        <source>%1個のファイルのコピー</source>
        <translation>copy of %1 file(s)</translation>
    </message>
    <message>
        <source>%1個のファイルの移動</source>
        <translation>move of %1 file(s)</translation>
    </message>
    <message>
        <source>%1個のファイルの削除</source>
        <translation>deletion of %1 file(s)</translation>
    </message>
    <message>
        <source>%1個のファイルの名前の変更</source>
        <translation>rename of %1 file(s)</translation>
    </message>
    <message>
        <source>%1個のファイルの連番での名前の変更</source>
        <translation>serial rename of %1 file(s)</translation>
    </message>
    <message>
        <source>フォルダの作成</source>
        <translation>new folder</translation>
    </message>
    <message>
        <source>フォルダ名の変更</source>
        <translation>folder rename</translation>
    </message>
    <message>
        <source>フォルダの削除</source>
        <translation>folder deletion</translation>
    </message>
    <message>
        <source>%1個のファイルの拡張コピー</source>
        <translation>extended copy of %1 file(s)</translation>
    </message>
    <message>
        <source>%1 は操作の後で変更されたので、そのままにしました。</source>
        <translation>%1 was left as it is: it changed after the operation.</translation>
    </message>
    <message>
        <source>%1 は既にあるので、そのままにしました。</source>
        <translation>%1 was left as it is: the name is taken.</translation>
    </message>
    <message>
        <source>%1 が見つかりません。</source>
        <translation>%1 was not found.</translation>
    </message>
    <message>
        <source>%1 は空ではないので、そのままにしました。</source>
        <translation>%1 was left as it is: it is not empty.</translation>
    </message>
    <message>
        <source>%1 にはごみ箱がないので、そのままにしました。</source>
        <translation>%1 was left as it is: its disk has no Trash.</translation>
    </message>
    <message>
        <source>%1 を元に戻せませんでした。</source>
        <translation>Could not undo %1.</translation>
    </message>
    <message>
        <source>操作の記録を読み書き出来ませんでした。</source>
        <translation>Could not read or write the record of operations.</translation>
    </message>
    <message>
        <source>操作を記録出来なかったので、元に戻すことは出来ません。</source>
        <translation>The operation could not be recorded, so it cannot be undone.</translation>
    </message>
    <message>
        <source>%1個のファイルの回転の保存</source>
        <translation>turn of %1 file(s)</translation>
    </message>
</context>
<context>
    <name>UndoCommands</name>
    <message>
        <source>元に戻す(&amp;U)</source>
        <translation>&amp;Undo</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)</source>
        <translation>&amp;Redo</translation>
    </message>
</context>
<context>
    <name>WallpaperCommands</name>
    <message>
        <source>このデスクトップでは、プログラムから壁紙を設定できません。</source>
        <translation>This desktop does not let programs set the wallpaper.</translation>
    </message>
    <message>
        <source>デスクトップが壁紙の設定に応えませんでした。</source>
        <translation>The desktop did not answer the request to set the wallpaper.</translation>
    </message>
    <message>
        <source>壁紙の画像は次の場所に保存しました:</source>
        <translation>The wallpaper picture was saved here:</translation>
    </message>
</context>
<context>
    <name>WindowCommands</name>
    <message>
        <source>ヘルプファイルを開けません。</source>
        <translation>Cannot open the help file.</translation>
    </message>
    <message>
        <source>Korvelについて</source>
        <translation>About Korvel</translation>
    </message>
    <message>
        <source>画像の整理と閲覧</source>
        <translation>Organise and view images</translation>
    </message>
</context>
<context>
    <name>Workers</name>
    <message>
        <source>作業用のスレッドを作成できません: %1</source>
        <translation>Cannot create a worker thread: %1</translation>
    </message>
</context>
</TS>
