<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>MainForm</name>
    <message><source>Lexpack - Lexpacker</source><translation>Lexpack - Wörterbuchpacker</translation></message>
    <message><source>Open...</source><translation>Öffnen...</translation></message>
    <message><source>Ctrl+O</source><translation>Alt+F</translation></message>
    <message><source>Keep original file(s)</source><translation>Originaldatei(en) behalten</translation></message>
    <message><source>About...</source><translation>Über...</translation></message>
    <message><source>F1</source><translation>F2</translation></message>
    <message><source>Exit</source><translation>Beenden</translation></message>
    <message><source>Ctrl+Q</source><translation>Ctrl+B</translation></message>
    <message><source>Use Open button or drag and drop files you want to (de)compress over the window</source><translation>Dateien öffnen oder auf das Fenster ziehen</translation></message>
    <message><source>File</source><translation>Datei</translation></message>
    <message><source>Status</source><translation>Zustand</translation></message>
    <message><source>Old size</source><translation>Alte Größe</translation></message>
    <message><source>New size</source><translation>Neue Größe</translation></message>
    <message><source>%</source><translation>v. H.</translation></message>
    <message><source>Ready</source><translation>Bereit</translation></message>
    <message><source>Cancel</source><translation>Abbrechen</translation></message>
</context>
</TS>
