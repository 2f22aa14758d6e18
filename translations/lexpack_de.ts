<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
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
</context>
</TS>
