<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en">
<context>
    <name>CommandLine</name>
    <message>
        <source>Use $XDG_DATA_HOME/MoraImport (~/.local/share/MoraImport) as the current folder, where the ledger lies under Data/; both are created when missing.</source>
        <translation>$XDG_DATA_HOME/MoraImport
(~/.local/share/MoraImport)をカレントフォル
ダーにし、台帳をその下の Data/ に置きます。
どちらもなければ作成します。</translation>
    </message>
    <message>
        <source>Dorvik Ver1.0.0: imports a purchase or sales CSV file into the ledger.</source>
        <translation>Dorvik Ver1.0.0: 仕入・販売の CSV ファイルを
台帳にインポートします。</translation>
    </message>
    <message>
        <source>Open the window with FILE chosen, as if it had been dropped on it.</source>
        <translation>FILE をドロップしたときと同じく、FILE を選ん
だ状態でウィンドウを開きます。</translation>
    </message>
    <message>
        <source>Write the ledger&apos;s import runs to standard output as tab-separated values.</source>
        <translation>台帳の取り込み履歴をタブ区切りで標準出力に出
します。</translation>
    </message>
    <message>
        <source>Open the window of the import history.</source>
        <translation>取り込み履歴のウィンドウを開きます。</translation>
    </message>
    <message>
        <source>Open the window that chooses where the ledger lies: this computer, or a server shared by an office.</source>
        <translation>台帳の場所を選ぶウィンドウを開きます: このコ
ンピューターか、事務所で共有するサーバーか。</translation>
    </message>
    <message>
        <source>Write the header line and the lines that run RUN refused, as a CSV file in UTF-8, to standard output.</source>
        <translation>取り込み RUN で取り込めなかった行を、見出し
行とともにUTF-8 の CSV ファイルとして標準出
力に出します。</translation>
    </message>
    <message>
        <source>Take the trades of run RUN out of the ledger, with the products and parties that only it added.</source>
        <translation>取り込み RUN の取引を台帳から取り消します。
その取り込みだけが追加した製品と取引先も取り
除きます。</translation>
    </message>
    <message>
        <source>Name one run.</source>
        <translation>取り込みを一つ指定してください。</translation>
    </message>
    <message>
        <source>Import FILE without a window: messages go to standard error, the totals to standard output. Exit status 0 when every line read was imported or left out as already in the ledger, 1 when some were refused, 2 when the file was refused or the import ended without totals.</source>
        <translation>ウィンドウを開かずに FILE をインポートします。
メッセージは標準エラー出力に、件数は標準出力
に出します。終了ステータスは、読んだ行をすべ
てインポートしたか、台帳にある取引と同じとし
て除いたとき 0、取り込めない行があったとき 1、
ファイルを受け付けなかったときと件数を出さず
に終わったとき 2 です。</translation>
    </message>
    <message>
        <source>With --import: import every line of the file even when the ledger holds a run of the same content or trades the same as some of its lines (without it or --new-only, such a file is refused with exit status 2).</source>
        <translation>--import とともに: 同じ内容のファイルを取り
込んだ記録や、一部の行と同じ取引が台帳にあっ
ても、すべての行をインポートします（この指定
も --new-only もなければ、そのようなファイル
は終了ステータス 2 で受け付けません）。</translation>
    </message>
    <message>
        <source>With --import: import only the lines whose trades are not in the ledger yet, also from a file the ledger holds a run of; the others are counted as read and kept with the run as skipped.</source>
        <translation>--import とともに: 台帳にまだない取引の行だ
けをインポートします。同じ内容のファイルを取
り込んだ記録があっても同じです。ほかの行は読
んだ行に数え、取り込まなかった行として取り込
みの記録に残します。</translation>
    </message>
    <message>
        <source>Look at FILE without importing it, writing nothing to the ledger: one tab-separated row per data line to standard output (line, outcome: new, in-ledger or refused, and detail). Exit status 0 when the file would import, 2 when it is refused.</source>
        <translation>FILE をインポートせずに確かめ、台帳には何も
書きません。データ行ごとに 1 行を、タブ区切
りで標準出力に出します（行番号、結果: new・
in-ledger・refused、内容）。終了ステータスは、
インポートできるファイルのとき 0、受け付けな
いファイルのとき 2 です。</translation>
    </message>
    <message>
        <source>Give --again or --new-only, not both.</source>
        <translation>--again と --new-only は同時に指定できません。</translation>
    </message>
    <message>
        <source>With --import or --check: read the sheet NAME of a workbook (.xlsx, .xlsm, .xls, .ods), or its sheet number N counted from 1; without it, the first sheet.</source>
        <translation>--import または --check とともに: ブック（
.xlsx、.xlsm、.xls、.ods）のシート NAME を、
または 1 から数えたN 番目のシートを読みます。
指定がなければ最初のシートです。</translation>
    </message>
    <message>
        <source>Give one --sheet, with --import or --check.</source>
        <translation>--sheet は一つだけ、--import または --check
とともに指定して下さい。</translation>
    </message>
    <message>
        <source>With --import or --check: read FILE with the import pattern NAME kept in the ledger, whatever its header (refused when the file does not fit it).</source>
        <translation>--import または --check とともに: 台帳に保存
した取込パターン NAME でファイルを読みます（
見出しにかかわらず。ファイルが合わなければ拒
否します）。</translation>
    </message>
    <message>
        <source>Write the import patterns kept in the ledger to standard output, one per line, tab-separated: name, mode (sales or purchase), the header texts it names.</source>
        <translation>台帳に保存した取込パターンを一行に一つ、タブ
区切りで標準出力に書きます: 名前、モード（
sales か purchase）、パターンが名指す見出し。</translation>
    </message>
    <message>
        <source>Keep the import pattern of the pattern file FILE (UTF-8 JSON) in the ledger, replacing one of the same name.</source>
        <translation>取込パターンのファイル FILE（UTF-8 の JSON）
のパターンを台帳に保存します。同じ名前のもの
は置き換えます。</translation>
    </message>
    <message>
        <source>Write the pattern file of the import pattern NAME to standard output.</source>
        <translation>取込パターン NAME のファイルを標準出力に書き
ます。</translation>
    </message>
    <message>
        <source>Delete the import pattern NAME from the ledger.</source>
        <translation>取込パターン NAME を台帳から削除します。</translation>
    </message>
    <message>
        <source>Give one --pattern, with --import or --check.</source>
        <translation>--pattern は一つだけ、--import または
--check とともに指定して下さい。</translation>
    </message>
    <message>
        <source>Name one pattern.</source>
        <translation>取込パターンを一つ指定して下さい。</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Displays help on commandline options.</source>
        <translation>コマンドラインオプションの説明を表示します。</translation>
    </message>
    <message>
        <source>Displays help including Qt specific options.</source>
        <translation>Qt 固有のオプションを含めて説明を表示します。</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>バージョンを表示します。</translation>
    </message>
    <message>
        <source>Usage: %1</source>
        <translation>使い方: %1</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[オプション]</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>オプション:</translation>
    </message>
    <message>
        <source>Arguments:</source>
        <translation>引数:</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>オプション &apos;%1&apos; はありません。</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>オプション %1 はありません。</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; の後に値がありません。</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>&apos;%1&apos; は値を取りません。</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Try &apos;%1 --help&apos;.</source>
        <translation>使い方は &apos;%1 --help&apos; で表示します。</translation>
    </message>
    <message>
        <source>%1: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are unset); without one, import with: %1 --import FILE</source>
        <translation>%1: ウィンドウを開くディスプレイがありません (DISPLAY と WAYLAND_DISPLAY が未設定です)。ディスプレイなしでインポートするには: %1 --import FILE</translation>
    </message>
</context>
</TS>
