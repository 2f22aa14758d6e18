<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CommandLine</name>
    <message>
        <source>no compressor found beside %1</source>
        <translation>kein Kompressor neben %1 gefunden</translation>
    </message>
    <message>
        <source>compressor: %1</source>
        <translation>Kompressor: %1</translation>
    </message>
    <message>
        <source>Compresses each FILE to FILE.dz and decompresses each .dz file,
as if the files had been dropped on the window.</source>
        <translation>Komprimiert jede Datei FILE zu FILE.dz und entpackt jede .dz-Datei,
als wären die Dateien auf das Fenster gezogen worden.</translation>
    </message>
    <message>
        <source>files to compress or decompress</source>
        <translation>Dateien zum Komprimieren oder Entpacken</translation>
    </message>
</context>
<context>
    <name>DictZip</name>
    <message>
        <source>cannot start %1: %2</source>
        <translation>%1 kann nicht gestartet werden: %2</translation>
    </message>
    <message>
        <source>the compressor ended abnormally</source>
        <translation>der Kompressor wurde abnormal beendet</translation>
    </message>
    <message>
        <source>not replaced: %1 exists and cannot be moved to the Trash: %2</source>
        <translation>nicht ersetzt: %1 ist vorhanden und kann nicht in den Papierkorb verschoben werden: %2</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>Lexpack - Lexpacker</source>
        <translation>Lexpack - Wörterbuchpacker</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Öffnen...</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Keep original file(s)</source>
        <translation>Originaldatei(en) behalten</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>Über...</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Use Open button or drag and drop files you want to (de)compress over the window</source>
        <translation>Dateien zum (De-)Komprimieren mit „Öffnen...“ wählen oder auf das Fenster ziehen</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Old size</source>
        <translation>Alte Größe</translation>
    </message>
    <message>
        <source>New size</source>
        <translation>Neue Größe</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>About Lexpack</source>
        <translation>Über Lexpack</translation>
    </message>
    <message>
        <source>&lt;b&gt;Lexpacker&lt;/b&gt;&lt;br&gt;%2&lt;br&gt;version %1&lt;br&gt;&lt;br&gt;Made by &lt;a href=&quot;https://lexpack.org/&quot;&gt;the Lexpack developers&lt;/a&gt;&lt;hr&gt;Qt %3 by &lt;a href=&quot;https://www.qt.io&quot;&gt;The Qt Company&lt;/a&gt;&lt;br&gt;&lt;br&gt;%4</source>
        <translation>&lt;b&gt;Lexpacker&lt;/b&gt;&lt;br&gt;%2&lt;br&gt;Version %1&lt;br&gt;&lt;br&gt;Entwickelt von &lt;a href=&quot;https://lexpack.org/&quot;&gt;den Lexpack-Entwicklern&lt;/a&gt;&lt;hr&gt;Qt %3 von &lt;a href=&quot;https://www.qt.io&quot;&gt;The Qt Company&lt;/a&gt;&lt;br&gt;&lt;br&gt;%4</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>Ergebnisse</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Details of the selected file</source>
        <translation>Details zur gewählten Datei</translation>
    </message>
    <message>
        <source>Open containing folder</source>
        <translation>Enthaltenden Ordner öffnen</translation>
    </message>
    <message>
        <source>Copy path</source>
        <translation>Pfad kopieren</translation>
    </message>
    <message>
        <source>Copy error</source>
        <translation>Fehler kopieren</translation>
    </message>
    <message>
        <source>New size as a share of the old size</source>
        <translation>Neue Größe als Anteil der alten Größe</translation>
    </message>
    <message>
        <source>%1 done, %2 failed, %3 cancelled; %4 bytes added</source>
        <translation>%1 fertig, %2 fehlgeschlagen, %3 abgebrochen; %4 Bytes mehr</translation>
    </message>
    <message>
        <source>%1 done, %2 failed, %3 cancelled; %4 bytes saved</source>
        <translation>%1 fertig, %2 fehlgeschlagen, %3 abgebrochen; %4 Bytes gespart</translation>
    </message>
    <message>
        <source>more files are taken once this batch has ended</source>
        <translation>weitere Dateien erst nach dem Ende dieses Durchgangs</translation>
    </message>
    <message>
        <source>the name is not valid UTF-8, so it could stand for another file; rename the file to process it</source>
        <translation>der Name ist kein gültiges UTF-8 und könnte für eine andere Datei stehen; zum Verarbeiten die Datei umbenennen</translation>
    </message>
    <message>
        <source>the previous %1 is in the Trash: %2</source>
        <translation>die vorherige Datei %1 liegt im Papierkorb: %2</translation>
    </message>
    <message>
        <source>compressor not found: %1</source>
        <translation>Kompressor nicht gefunden: %1</translation>
    </message>
</context>
<context>
    <name>Trash</name>
    <message>
        <source>the Recycle Bin cannot take it</source>
        <translation>der Papierkorb kann sie nicht aufnehmen</translation>
    </message>
    <message>
        <source>cannot create %1: %2</source>
        <translation>%1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>its file system has no Trash of this user&apos;s</source>
        <translation>ihr Dateisystem hat keinen Papierkorb für diesen Benutzer</translation>
    </message>
    <message>
        <source>cannot write in %1: %2</source>
        <translation>in %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>cannot move %1 to %2: %3</source>
        <translation>%1 kann nicht nach %2 verschoben werden: %3</translation>
    </message>
    <message>
        <source>the previous %1 is kept as %2: %3</source>
        <translation>die vorherige Datei %1 bleibt als %2 erhalten: %3</translation>
    </message>
    <message>
        <source>the previous %1 is still there and the new one is %2: %3</source>
        <translation>die vorherige Datei %1 ist noch vorhanden, die neue ist %2: %3</translation>
    </message>
    <message>
        <source>the new %1 is kept as %2: %3</source>
        <translation>die neue Datei %1 bleibt als %2 erhalten: %3</translation>
    </message>
</context>
</TS>
