<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>CConvert2BMPView</name>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Convert to BMP format</source>
        <translation>Convert to BMP format</translation>
    </message>
    <message>
        <source>Target Directory</source>
        <translation>Target Directory</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>参照</translation>
    </message>
    <message>
        <source>Save Directory</source>
        <translation>Save Directory</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>Include Sub Directory</source>
        <translation>Include Sub Directory</translation>
    </message>
    <message>
        <source>Result Page:</source>
        <translation>Result Page:</translation>
    </message>
    <message>
        <source>/All Pages</source>
        <translation>/All Pages</translation>
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
        <translation>Convert to RIM format</translation>
    </message>
    <message>
        <source>Bases</source>
        <translation>Bases</translation>
    </message>
    <message>
        <source>Target Directory</source>
        <translation>Target Directory</translation>
    </message>
    <message>
        <source>Browse...</source>
        <translation>参照</translation>
    </message>
    <message>
        <source>Save Directory</source>
        <translation>Save Directory</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convert</translation>
    </message>
    <message>
        <source>Include Sub Directory</source>
        <translation>Include Sub Directory</translation>
    </message>
    <message>
        <source>Result Page:</source>
        <translation>Result Page:</translation>
    </message>
    <message>
        <source>/All Pages</source>
        <translation>/All Pages</translation>
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
        <source>Converting %1 / %2: %3</source>
        <translation>変換中 %1 / %2: %3</translation>
    </message>
    <message>
        <source>%1 of %2 files converted.</source>
        <translation>%2 個中 %1 個のファイルを変換しました。</translation>
    </message>
</context>
<context>
    <name>CConvertForm</name>
    <message>
        <source>Conversion cancelled: %1 of %2 files converted.</source>
        <translation>変換を中止しました: %2 個中 %1 個のファイルを変換しました。</translation>
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
        <translation>#%1  %2</translation>
    </message>
    <message>
        <source>Edge %1, colour %2, total %3</source>
        <translation>エッジ %1、色 %2、総合 %3</translation>
    </message>
    <message>
        <source>please select item</source>
        <translation>please select item</translation>
    </message>
</context>
<context>
    <name>CJobForm</name>
    <message>
        <source>/ %1 pages</source>
        <translation>/ %1 pages</translation>
    </message>
</context>
<context>
    <name>CListViewEx</name>
    <message>
        <source>You can drop one image file only.</source>
        <translation>You can drop one image file only.</translation>
    </message>
    <message>
        <source>This is not a image file!</source>
        <translation>This is not a image file!</translation>
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
</context>
<context>
    <name>CProgressDialog</name>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
</context>
<context>
    <name>CRetrievalView</name>
    <message>
        <source>Query Image</source>
        <translation>Query Image</translation>
    </message>
    <message>
        <source>Weight</source>
        <translation>Weight</translation>
    </message>
    <message>
        <source>Edge</source>
        <translation>Edge</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Color Similarity</source>
        <translation>Color Similarity</translation>
    </message>
    <message>
        <source>Search</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Target Directory</source>
        <translation>Target Directory</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Default</translation>
    </message>
    <message>
        <source>Include Sub Directory</source>
        <translation>Include Sub Directory</translation>
    </message>
    <message>
        <source>Result Page:</source>
        <translation>Result Page:</translation>
    </message>
    <message>
        <source>/All Pages</source>
        <translation>/All Pages</translation>
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
</context>
<context>
    <name>CTabView</name>
    <message>
        <source>Retrieval</source>
        <translation>Retrieval</translation>
    </message>
    <message>
        <source>Convert to RIM</source>
        <translation>Convert to RIM</translation>
    </message>
    <message>
        <source>Convert to BMP</source>
        <translation>Convert to BMP</translation>
    </message>
</context>
<context>
    <name>FileDialogs</name>
    <message>
        <source>All images</source>
        <translation>すべての画像</translation>
    </message>
</context>
</TS>
