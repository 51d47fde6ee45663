<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>BatchMessages</name>
    <message>
        <source>Specified destination dir isn&apos;t exist. Please specify a destination dir.</source>
        <translation>指定された保存先フォルダーが存在しません。保存先フォルダーを指定してください。</translation>
    </message>
    <message>
        <source>the output would overwrite a listed source file</source>
        <translation>出力が一覧の元ファイルを上書きしてしまいます</translation>
    </message>
    <message>
        <source>the output name is already produced by this job: </source>
        <translation>この出力名はこの処理で既に作成されています: </translation>
    </message>
    <message>
        <source>Start converting images, please wait...</source>
        <translation>画像の変換を開始しました。お待ちください...</translation>
    </message>
    <message>
        <source>there&apos;s no file in target directory</source>
        <translation>対象フォルダーにファイルがありません</translation>
    </message>
    <message>
        <source>finished conversion to RIM images!</source>
        <translation>RIM 画像への変換が完了しました!</translation>
    </message>
    <message>
        <source>Failed conversion of these images!
</source>
        <translation>次の画像の変換に失敗しました!
</translation>
    </message>
    <message>
        <source>Finished converting to BMP images!</source>
        <translation>BMP 画像への変換が完了しました!</translation>
    </message>
    <message>
        <source>Failed conversion of these files!
</source>
        <translation>次のファイルの変換に失敗しました!
</translation>
    </message>
    <message>
        <source>the save folder does not exist</source>
        <translation>保存先フォルダーが存在しません</translation>
    </message>
    <message>
        <source>the conversion was cancelled</source>
        <translation>変換は中止されました</translation>
    </message>
</context>
<context>
    <name>CAboutDlg</name>
    <message>
        <source>Hobeka Version beta</source>
        <translation>Hobeka バージョン ベータ版</translation>
    </message>
    <message>
        <source>Image viewer with search by image similarity (RIM format)</source>
        <translation>画像の類似度で検索できる画像ビューアー (RIM 形式)</translation>
    </message>
    <message>
        <source>Folim version information</source>
        <translation>Folim のバージョン情報</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CConvert2BMPView</name>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Convert to BMP format</source>
        <translation>BMP 形式に変換</translation>
    </message>
    <message>
        <source>Target Directory</source>
        <translation>対象フォルダー</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>参照</translation>
    </message>
    <message>
        <source>Save Directory</source>
        <translation>保存先フォルダー</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>変換</translation>
    </message>
    <message>
        <source>Include Sub Directory</source>
        <translation>サブフォルダーを含める</translation>
    </message>
    <message>
        <source>Result Page:</source>
        <translation>結果ページ:</translation>
    </message>
    <message>
        <source>/All Pages</source>
        <translation>/全ページ</translation>
    </message>
    <message>
        <source>%1 of %2 files converted.</source>
        <translation>%2 個中 %1 個のファイルを変換しました。</translation>
    </message>
</context>
<context>
    <name>CConvert2RIMView</name>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Convert to RIM format</source>
        <translation>RIM 形式に変換</translation>
    </message>
    <message>
        <source>Bases</source>
        <translation>基底</translation>
    </message>
    <message>
        <source>Target Directory</source>
        <translation>対象フォルダー</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>参照</translation>
    </message>
    <message>
        <source>Save Directory</source>
        <translation>保存先フォルダー</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>変換</translation>
    </message>
    <message>
        <source>Include Sub Directory</source>
        <translation>サブフォルダーを含める</translation>
    </message>
    <message>
        <source>Result Page:</source>
        <translation>結果ページ:</translation>
    </message>
    <message>
        <source>/All Pages</source>
        <translation>/全ページ</translation>
    </message>
    <message>
        <source>Converting %1 / %2: %3</source>
        <translation>変換中 %1 / %2: %3</translation>
    </message>
    <message>
        <source>%1 of %2 files converted.</source>
        <translation>%2 個中 %1 個のファイルを変換しました。</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>画質</translation>
    </message>
    <message>
        <source>archive</source>
        <translation>保存用</translation>
    </message>
    <message>
        <source>high</source>
        <translation>高画質</translation>
    </message>
    <message>
        <source>normal</source>
        <translation>標準</translation>
    </message>
    <message>
        <source>small</source>
        <translation>小サイズ</translation>
    </message>
</context>
<context>
    <name>CConvertForm</name>
    <message>
        <source>Conversion cancelled: %1 of %2 files converted.</source>
        <translation>変換を中止しました: %2 個中 %1 個のファイルを変換しました。</translation>
    </message>
    <message>
        <source>The Save Directory %1 does not exist. Create it?</source>
        <translation>保存先フォルダー %1 が存在しません。作成しますか?</translation>
    </message>
    <message>
        <source>Cannot create the folder %1.</source>
        <translation>フォルダー %1 を作成できません。</translation>
    </message>
    <message>
        <source>%1 of the %2 files were converted into %3 before. Replace their outputs, skip those files, or cancel?</source>
        <translation>%2 個中 %1 個のファイルは既に %3 に変換されています。出力を置き換えますか、それらのファイルをスキップしますか、それとも中止しますか?</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>置き換える</translation>
    </message>
    <message>
        <source>Skip Existing</source>
        <translation>既存をスキップ</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Every file has its output in %1 already.</source>
        <translation>すべてのファイルの出力が既に %1 にあります。</translation>
    </message>
</context>
<context>
    <name>CFolimApp</name>
    <message>
        <source>%1
This file cannot be found.</source>
        <translation>%1
このファイルは見つかりません。</translation>
    </message>
</context>
<context>
    <name>CFolimDoc</name>
    <message>
        <source>#%1  %2</source>
        <translation>第%1位  %2</translation>
    </message>
    <message>
        <source>Edge %1, colour %2, total %3</source>
        <translation>エッジ %1、色 %2、総合 %3</translation>
    </message>
    <message>
        <source>please select item</source>
        <translation>項目を選択してください</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>%1 を開けません: %2</translation>
    </message>
    <message>
        <source>No picture matched. Choose another query image or folder, then search again.</source>
        <translation>一致する画像がありません。別のクエリ画像かフォルダーを選んで、もう一度検索してください。</translation>
    </message>
    <message>
        <source>Choose a folder on the left, or drop a picture here.
Then select a picture and press Search to find the ones that look like it.</source>
        <translation>左のフォルダーを選ぶか、ここに画像をドロップしてください。
画像を選んで [検索] を押すと、似た画像が見つかります。</translation>
    </message>
    <message>
        <source>No pictures in %1.
Choose another folder, include its sub-folders, or drop a picture here.</source>
        <translation>%1 に画像がありません。
別のフォルダーを選ぶか、サブフォルダーを含めるか、ここに画像をドロップしてください。</translation>
    </message>
    <message>
        <source>No pictures in %1 or its sub-folders.
Choose another folder, or drop a picture here.</source>
        <translation>%1 とそのサブフォルダーに画像がありません。
別のフォルダーを選ぶか、ここに画像をドロップしてください。</translation>
    </message>
</context>
<context>
    <name>CImageInfo</name>
    <message>
        <source>%1 bytes</source>
        <translation>%1 バイト</translation>
    </message>
    <message>
        <source>%1 (%2 bytes)</source>
        <translation>%1 (%2 バイト)</translation>
    </message>
    <message>
        <source>Colour space</source>
        <translation>色空間</translation>
    </message>
    <message>
        <source>Patch</source>
        <translation>パッチ</translation>
    </message>
    <message>
        <source>%1 × %2 pixels</source>
        <translation>%1 × %2 ピクセル</translation>
    </message>
    <message>
        <source>Dimension</source>
        <translation>次元</translation>
    </message>
    <message>
        <source>Bases</source>
        <translation>基底</translation>
    </message>
    <message>
        <source>ICA</source>
        <translation>ICA</translation>
    </message>
    <message>
        <source>PCA</source>
        <translation>PCA</translation>
    </message>
    <message>
        <source>Averages section</source>
        <translation>平均値セクション</translation>
    </message>
    <message>
        <source>Bases section</source>
        <translation>基底セクション</translation>
    </message>
    <message>
        <source>Coefficients section</source>
        <translation>係数セクション</translation>
    </message>
    <message>
        <source>1/%1 s</source>
        <translation>1/%1 秒</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>%1° %2</source>
        <translation>%1° %2</translation>
    </message>
    <message>
        <source>S</source>
        <translation>南緯</translation>
    </message>
    <message>
        <source>N</source>
        <translation>北緯</translation>
    </message>
    <message>
        <source>W</source>
        <translation>西経</translation>
    </message>
    <message>
        <source>E</source>
        <translation>東経</translation>
    </message>
    <message>
        <source>%1 m</source>
        <translation>%1 m</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名前</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>フォルダー</translation>
    </message>
    <message>
        <source>Cannot be read</source>
        <translation>読み込めません</translation>
    </message>
    <message>
        <source>File size</source>
        <translation>ファイル サイズ</translation>
    </message>
    <message>
        <source>Dimensions</source>
        <translation>サイズ</translation>
    </message>
    <message>
        <source>%1 × %2 pixels (%3 megapixels)</source>
        <translation>%1 × %2 ピクセル (%3 メガピクセル)</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>形式</translation>
    </message>
    <message>
        <source>Date taken</source>
        <translation>撮影日時</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>カメラ</translation>
    </message>
    <message>
        <source>Lens</source>
        <translation>レンズ</translation>
    </message>
    <message>
        <source>Exposure time</source>
        <translation>露出時間</translation>
    </message>
    <message>
        <source>Aperture</source>
        <translation>絞り値</translation>
    </message>
    <message>
        <source>ISO</source>
        <translation>ISO 感度</translation>
    </message>
    <message>
        <source>%1 mm</source>
        <translation>%1 mm</translation>
    </message>
    <message>
        <source>(%1 mm on 35 mm film)</source>
        <translation>(35 mm 判換算 %1 mm)</translation>
    </message>
    <message>
        <source>Focal length</source>
        <translation>焦点距離</translation>
    </message>
    <message>
        <source>GPS position</source>
        <translation>GPS 位置</translation>
    </message>
</context>
<context>
    <name>CInfoPanel</name>
    <message>
        <source>Information</source>
        <translation>情報</translation>
    </message>
    <message>
        <source>Select a picture to see what it is.</source>
        <translation>画像を選ぶと、その情報が表示されます。</translation>
    </message>
</context>
<context>
    <name>CJobForm</name>
    <message>
        <source>/ %1 pages</source>
        <translation>/ %1 ページ</translation>
    </message>
</context>
<context>
    <name>CKeysDialog</name>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>キーボード ショートカット</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>操作</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>キー</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
</context>
<context>
    <name>CListViewEx</name>
    <message>
        <source>You can drop one image file only.</source>
        <translation>ドロップできる画像ファイルは 1 つだけです。</translation>
    </message>
    <message>
        <source>This is not a image file!</source>
        <translation>画像ファイルではありません!</translation>
    </message>
    <message>
        <source>&amp;Undo	Ctrl+Z</source>
        <translation>元に戻す	Ctrl+Z(&amp;U)</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>&amp;Open...	Ctrl+O</source>
        <translation>開く...	Ctrl+O(&amp;O)</translation>
    </message>
    <message>
        <source>Opens an existing file</source>
        <translation>既存のファイルを開きます</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>開く</translation>
    </message>
    <message>
        <source>&amp;Save	Ctrl+S</source>
        <translation>保存	Ctrl+S(&amp;S)</translation>
    </message>
    <message>
        <source>Saves the selected image</source>
        <translation>選択した画像を保存します</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>アプリケーションの終了(&amp;X)</translation>
    </message>
    <message>
        <source>Quits the application</source>
        <translation>アプリケーションを終了します</translation>
    </message>
    <message>
        <source>&amp;Toolbar</source>
        <translation>ツール バー(&amp;T)</translation>
    </message>
    <message>
        <source>Shows or hides the toolbar</source>
        <translation>ツール バーの表示/非表示を切り替えます</translation>
    </message>
    <message>
        <source>&amp;Status Bar</source>
        <translation>ステータス バー(&amp;S)</translation>
    </message>
    <message>
        <source>Shows or hides the status bar</source>
        <translation>ステータス バーの表示/非表示を切り替えます</translation>
    </message>
    <message>
        <source>&amp;About Folim...</source>
        <translation>バージョン情報 Folim(&amp;A)...</translation>
    </message>
    <message>
        <source>Shows the program&apos;s version information</source>
        <translation>プログラムのバージョン情報を表示します</translation>
    </message>
    <message>
        <source>&amp;Refresh	F5</source>
        <translation>最新の情報に更新	F5(&amp;R)</translation>
    </message>
    <message>
        <source>Lists the folder again</source>
        <translation>フォルダーの一覧を読み込み直します</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>Recent Files</source>
        <translation>最近使ったファイル</translation>
    </message>
    <message>
        <source>Opens this file</source>
        <translation>このファイルを開きます</translation>
    </message>
    <message>
        <source>Toolbar</source>
        <translation>ツール バー</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>レディ</translation>
    </message>
    <message>
        <source>A job is still running. Cancel it and close the window?</source>
        <translation>処理の実行中です。処理を中止してウィンドウを閉じますか?</translation>
    </message>
    <message>
        <source>New</source>
        <translation>新規</translation>
    </message>
    <message>
        <source>&amp;Keyboard Shortcuts...</source>
        <translation>キーボード ショートカット(&amp;K)...</translation>
    </message>
    <message>
        <source>Lists every key of the window</source>
        <translation>ウィンドウのすべてのキーを一覧表示します</translation>
    </message>
    <message>
        <source>Next Pane</source>
        <translation>次のペイン</translation>
    </message>
    <message>
        <source>Previous Pane</source>
        <translation>前のペイン</translation>
    </message>
    <message>
        <source>&amp;Picture</source>
        <translation>画像(&amp;P)</translation>
    </message>
    <message>
        <source>Saving %1 ...</source>
        <translation>%1 を保存しています ...</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 に保存しました</translation>
    </message>
    <message>
        <source>&amp;Information Panel	Ctrl+I</source>
        <translation>情報パネル(&amp;I)	Ctrl+I</translation>
    </message>
    <message>
        <source>Shows or hides what the selected picture is: size, date taken, camera</source>
        <translation>選択した画像の情報 (サイズ、撮影日時、カメラ) の表示/非表示を切り替えます</translation>
    </message>
    <message>
        <source>&amp;Undo	Ctrl+Z</source>
        <translation>元に戻す	Ctrl+Z(&amp;U)</translation>
    </message>
    <message>
        <source>Takes back the last move, rename or move to the trash</source>
        <translation>最後の移動、名前の変更、ごみ箱への移動を取り消します</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>編集(&amp;E)</translation>
    </message>
    <message>
        <source>Find &amp;Duplicates...</source>
        <translation>重複の検索(&amp;D)...</translation>
    </message>
    <message>
        <source>Groups pictures that are alike, to keep one of each</source>
        <translation>よく似た画像をまとめ、それぞれ 1 つを残せるようにします</translation>
    </message>
    <message>
        <source>Signature &amp;Index...</source>
        <translation>シグネチャのインデックス(&amp;I)...</translation>
    </message>
    <message>
        <source>Chooses the index of signatures: the default one, a file, or a shared PostgreSQL server</source>
        <translation>シグネチャのインデックスを選びます: 既定のもの、ファイル、または共有の PostgreSQL サーバー</translation>
    </message>
    <message>
        <source>The index is now %1</source>
        <translation>インデックスは %1 になりました</translation>
    </message>
    <message>
        <source>the default one</source>
        <translation>既定のもの</translation>
    </message>
    <message>
        <source>The signature index: &quot;default&quot;, an SQLite file, or a PostgreSQL connection string (postgresql://user@host/database) to share one index between machines:</source>
        <translation>シグネチャのインデックス: &quot;default&quot;(既定)、SQLite ファイル、または複数のマシンで 1 つのインデックスを共有する PostgreSQL の接続文字列 (postgresql://user@host/database):</translation>
    </message>
    <message>
        <source>Cannot open the index %1: %2</source>
        <translation>インデックス %1 を開けません: %2</translation>
    </message>
</context>
<context>
    <name>COriginalImage</name>
    <message>
        <source>Next Picture</source>
        <translation>次の画像</translation>
    </message>
    <message>
        <source>Previous Picture</source>
        <translation>前の画像</translation>
    </message>
    <message>
        <source>Pan Right or Next Picture</source>
        <translation>右へ移動または次の画像</translation>
    </message>
    <message>
        <source>Pan Left or Previous Picture</source>
        <translation>左へ移動または前の画像</translation>
    </message>
    <message>
        <source>Pan Up</source>
        <translation>上へ移動</translation>
    </message>
    <message>
        <source>Pan Down</source>
        <translation>下へ移動</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>拡大(&amp;I)</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>縮小(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Fit to Window</source>
        <translation>ウィンドウに合わせる(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Actual Size</source>
        <translation>実際のサイズ(&amp;A)</translation>
    </message>
    <message>
        <source>F&amp;ull Screen</source>
        <translation>全画面表示(&amp;U)</translation>
    </message>
    <message>
        <source>Shows the picture on the whole screen</source>
        <translation>画像を画面全体に表示します</translation>
    </message>
    <message>
        <source>Slide&amp;show</source>
        <translation>スライドショー(&amp;S)</translation>
    </message>
    <message>
        <source>Shows the listed pictures one after another; any key pauses, this key goes on</source>
        <translation>一覧の画像を順に表示します。いずれかのキーで一時停止し、このキーで再開します</translation>
    </message>
    <message>
        <source>Rotate &amp;Left</source>
        <translation>左に回転(&amp;L)</translation>
    </message>
    <message>
        <source>Turns the picture a quarter anticlockwise</source>
        <translation>画像を反時計回りに 90 度回転します</translation>
    </message>
    <message>
        <source>Rotate &amp;Right</source>
        <translation>右に回転(&amp;R)</translation>
    </message>
    <message>
        <source>Turns the picture a quarter clockwise</source>
        <translation>画像を時計回りに 90 度回転します</translation>
    </message>
    <message>
        <source>Close (or Leave Full Screen, Stop the Slideshow)</source>
        <translation>閉じる (全画面表示の解除、スライドショーの停止)</translation>
    </message>
    <message>
        <source>Slideshow &amp;Interval</source>
        <translation>スライドショーの間隔(&amp;I)</translation>
    </message>
    <message>
        <source>%1 seconds</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>Slideshow paused (%1 goes on)</source>
        <translation>スライドショー一時停止中 (%1 で再開)</translation>
    </message>
</context>
<context>
    <name>CPictureView</name>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
</context>
<context>
    <name>CProgressDialog</name>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Progress...</source>
        <translation>進行状況...</translation>
    </message>
    <message>
        <source>Loading thumbnails %1 / %2 ...</source>
        <translation>縮小画像を読み込んでいます %1 / %2 ...</translation>
    </message>
</context>
<context>
    <name>CRetrievalView</name>
    <message>
        <source>Query Image</source>
        <translation>クエリ画像</translation>
    </message>
    <message>
        <source>Weight</source>
        <translation>重み</translation>
    </message>
    <message>
        <source>Edge</source>
        <translation>エッジ</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>色</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Color Similarity</source>
        <translation>色の類似度</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>検索</translation>
    </message>
    <message>
        <source>Target Directory</source>
        <translation>対象フォルダー</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>既定値</translation>
    </message>
    <message>
        <source>Include Sub Directory</source>
        <translation>サブフォルダーを含める</translation>
    </message>
    <message>
        <source>Result Page:</source>
        <translation>結果ページ:</translation>
    </message>
    <message>
        <source>/All Pages</source>
        <translation>/全ページ</translation>
    </message>
    <message>
        <source>Please select an image as the query.</source>
        <translation>クエリ画像を選択してください。</translation>
    </message>
    <message>
        <source>No picture of this folder can be ranked against the query.</source>
        <translation>このフォルダーには、クエリ画像と比べられる画像がありません。</translation>
    </message>
    <message>
        <source>There is no place for the index: HOME and XDG_CACHE_HOME are not set to an absolute folder.</source>
        <translation>インデックスを置く場所がありません: HOME も XDG_CACHE_HOME も絶対パスのフォルダーを指していません。</translation>
    </message>
    <message>
        <source>Cannot open the index %1: %2</source>
        <translation>インデックス %1 を開けません: %2</translation>
    </message>
    <message>
        <source>The index %1 was damaged; it has been kept as %2 and a new one was built.</source>
        <translation>インデックス %1 は壊れていました。%2 として残し、新しいインデックスを作成しました。</translation>
    </message>
    <message>
        <source>Indexing pictures %1 / %2 ...</source>
        <translation>画像のインデックスを作成しています %1 / %2 ...</translation>
    </message>
    <message>
        <source>Cannot update the index %1: %2</source>
        <translation>インデックス %1 を更新できません: %2</translation>
    </message>
    <message>
        <source>Ranking pictures ...</source>
        <translation>画像を順位付けしています ...</translation>
    </message>
    <message>
        <source>Cannot read the query image %1.</source>
        <translation>クエリ画像 %1 を読み込めません。</translation>
    </message>
    <message>
        <source>Cannot read the index %1: %2</source>
        <translation>インデックス %1 を読み込めません: %2</translation>
    </message>
    <message>
        <source>Block mean</source>
        <translation>ブロック平均</translation>
    </message>
    <message>
        <source>Histogram</source>
        <translation>ヒストグラム</translation>
    </message>
    <message>
        <source>Robust</source>
        <translation>頑健</translation>
    </message>
    <message>
        <source>Replacing thumbnails %1 / %2 ...</source>
        <translation>縮小画像を置き換えています %1 / %2 ...</translation>
    </message>
</context>
<context>
    <name>CRotationModel</name>
    <message>
        <source>%1 is shown turned. Save it turned?
A JPEG keeps its picture data (only its orientation tag changes); other formats are written again.</source>
        <translation>%1 は回転して表示されています。回転した状態で保存しますか?
JPEG は画像データをそのまま保ちます (向きのタグだけが変わります)。その他の形式は書き直されます。</translation>
    </message>
    <message>
        <source>Cannot save %1 turned: %2</source>
        <translation>%1 を回転して保存できません: %2</translation>
    </message>
    <message>
        <source>%1 was not saved turned: another job is running.</source>
        <translation>%1 は回転して保存されませんでした: 別の処理を実行中です。</translation>
    </message>
</context>
<context>
    <name>CSortBar</name>
    <message>
        <source>&amp;Name</source>
        <translation>名前(&amp;N)</translation>
    </message>
    <message>
        <source>Date &amp;Taken</source>
        <translation>撮影日時(&amp;T)</translation>
    </message>
    <message>
        <source>Date &amp;Modified</source>
        <translation>更新日時(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Size</source>
        <translation>サイズ(&amp;S)</translation>
    </message>
    <message>
        <source>S&amp;core</source>
        <translation>スコア(&amp;C)</translation>
    </message>
    <message>
        <source>Sort Bar</source>
        <translation>並べ替えバー</translation>
    </message>
    <message>
        <source>Sort by:</source>
        <translation>並べ替え:</translation>
    </message>
    <message>
        <source>Sort &amp;By</source>
        <translation>並べ替え(&amp;B)</translation>
    </message>
    <message>
        <source>Best match first, after a search</source>
        <translation>検索後、一致度の高い順</translation>
    </message>
    <message>
        <source>&amp;Descending</source>
        <translation>降順(&amp;D)</translation>
    </message>
    <message>
        <source>Sorts from the last to the first</source>
        <translation>最後から最初の順に並べ替えます</translation>
    </message>
    <message>
        <source>Filter names (*.png, 2023...)</source>
        <translation>名前で絞り込み (*.png、2023...)</translation>
    </message>
    <message>
        <source>&amp;Filter Names	Ctrl+F</source>
        <translation>名前で絞り込み(&amp;F)	Ctrl+F</translation>
    </message>
    <message>
        <source>Shows only the pictures whose names hold a text</source>
        <translation>名前に文字列を含む画像だけを表示します</translation>
    </message>
    <message>
        <source>%1 pictures</source>
        <translation>%1 枚の画像</translation>
    </message>
    <message>
        <source>%1 of %2 pictures</source>
        <translation>%2 枚中 %1 枚の画像</translation>
    </message>
    <message>
        <source>Reading the dates taken: %1 of %2</source>
        <translation>撮影日時を読み込んでいます: %2 個中 %1 個</translation>
    </message>
</context>
<context>
    <name>CTabView</name>
    <message>
        <source>Retrieval</source>
        <translation>検索</translation>
    </message>
    <message>
        <source>Convert to RIM</source>
        <translation>RIM に変換</translation>
    </message>
    <message>
        <source>Convert to BMP</source>
        <translation>BMP に変換</translation>
    </message>
</context>
<context>
    <name>FileDialogs</name>
    <message>
        <source>All images</source>
        <translation>すべての画像</translation>
    </message>
</context>
<context>
    <name>CFileCommands</name>
    <message>
        <source>No program opens %1.</source>
        <translation>%1 を開くプログラムがありません。</translation>
    </message>
    <message>
        <source>No file manager opens %1.</source>
        <translation>%1 を開くファイル マネージャーがありません。</translation>
    </message>
    <message>
        <source>Copy to Folder</source>
        <translation>フォルダーへコピー</translation>
    </message>
    <message>
        <source>Move to Folder</source>
        <translation>フォルダーへ移動</translation>
    </message>
    <message>
        <source>New name of %1:</source>
        <translation>%1 の新しい名前:</translation>
    </message>
    <message>
        <source>%1 already holds a file named %2.</source>
        <translation>%1 には %2 という名前のファイルが既にあります。</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>置き換える</translation>
    </message>
    <message>
        <source>Keep Both</source>
        <translation>両方残す</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>スキップ</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>These files could not be handled:</source>
        <translation>次のファイルを処理できませんでした:</translation>
    </message>
</context>
<context>
    <name>CFileMenu</name>
    <message>
        <source>&amp;Picture File</source>
        <translation>画像ファイル(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Open with Default Program</source>
        <translation>既定のプログラムで開く(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Copy to...</source>
        <translation>コピー先(&amp;C)...</translation>
    </message>
    <message>
        <source>&amp;Move to...</source>
        <translation>移動先(&amp;M)...</translation>
    </message>
    <message>
        <source>&amp;Rename...	F2</source>
        <translation>名前の変更...	F2(&amp;R)</translation>
    </message>
    <message>
        <source>Move to &amp;Trash	Del</source>
        <translation>ごみ箱へ移動	Del(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Show in File Manager</source>
        <translation>ファイル マネージャーで表示(&amp;S)</translation>
    </message>
    <message>
        <source>Copy &amp;Path</source>
        <translation>パスのコピー(&amp;P)</translation>
    </message>
    <message>
        <source>Find &amp;Similar in This Folder</source>
        <translation>このフォルダーで類似画像を検索(&amp;S)</translation>
    </message>
    <message>
        <source>Find Similar in &amp;Every Indexed Folder</source>
        <translation>索引のすべてのフォルダーで類似画像を検索(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Back to the Folder</source>
        <translation>フォルダーに戻る(&amp;B)</translation>
    </message>
</context>
<context>
    <name>CDuplicatesModel</name>
    <message>
        <source>Cannot open the index %1: %2</source>
        <translation>索引 %1 を開けません: %2</translation>
    </message>
    <message>
        <source>Indexing pictures %1 / %2 ...</source>
        <translation>画像の索引を作成しています %1 / %2 ...</translation>
    </message>
    <message>
        <source>Cannot update the index %1: %2</source>
        <translation>索引 %1 を更新できません: %2</translation>
    </message>
    <message>
        <source>Grouping pictures ...</source>
        <translation>画像をまとめています ...</translation>
    </message>
    <message>
        <source>Cannot read the index %1: %2</source>
        <translation>索引 %1 を読み込めません: %2</translation>
    </message>
    <message>
        <source>%1 files (%2 bytes) moved to the trash.</source>
        <translation>%1 個のファイル (%2 バイト) をごみ箱へ移動しました。</translation>
    </message>
</context>
<context>
    <name>CDuplicatesView</name>
    <message>
        <source>Include Sub Directory</source>
        <translation>サブフォルダーを含める</translation>
    </message>
    <message>
        <source>Find Duplicates</source>
        <translation>重複の検索</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Move Marked to Trash</source>
        <translation>印を付けたファイルをごみ箱へ移動</translation>
    </message>
    <message>
        <source>Duplicates</source>
        <translation>重複</translation>
    </message>
    <message>
        <source>Folders:</source>
        <translation>フォルダー:</translation>
    </message>
    <message>
        <source>Folders separated by &quot;;&quot;</source>
        <translation>&quot;;&quot; で区切ったフォルダー</translation>
    </message>
    <message>
        <source>Add Folder...</source>
        <translation>フォルダーの追加...</translation>
    </message>
    <message>
        <source>Similarity threshold:</source>
        <translation>類似度のしきい値:</translation>
    </message>
    <message>
        <source>Measure:</source>
        <translation>尺度:</translation>
    </message>
    <message>
        <source>Robust</source>
        <translation>頑健</translation>
    </message>
    <message>
        <source>Groups:</source>
        <translation>グループ:</translation>
    </message>
    <message>
        <source>Most pictures first</source>
        <translation>画像の多い順</translation>
    </message>
    <message>
        <source>Most alike first</source>
        <translation>類似度の高い順</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>画像</translation>
    </message>
    <message>
        <source>Score</source>
        <translation>スコア</translation>
    </message>
    <message>
        <source>Pixels</source>
        <translation>ピクセル</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>ファイル サイズ</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>日付</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>フォルダー</translation>
    </message>
    <message>
        <source>Keep the Largest</source>
        <translation>最大のものを残す</translation>
    </message>
    <message>
        <source>Keep the Oldest</source>
        <translation>最も古いものを残す</translation>
    </message>
    <message>
        <source>Keep the One in Folder...</source>
        <translation>フォルダー内のものを残す...</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>フォルダーの追加</translation>
    </message>
    <message>
        <source>Keep the One in Folder</source>
        <translation>フォルダー内のものを残す</translation>
    </message>
    <message numerus="yes">
        <source>%n group(s) of duplicates</source>
        <translation>
            <numerusform>重複のグループ %n 個</numerusform>
        </translation>
    </message>
    <message>
        <source>Please choose a folder to look in.</source>
        <translation>検索するフォルダーを選んでください。</translation>
    </message>
    <message>
        <source>Group %1: %2 pictures</source>
        <translation>グループ %1: 画像 %2 個</translation>
    </message>
</context>
</TS>
