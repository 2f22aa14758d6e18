<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>MainForm</name>
    <message>
        <source>Lexpack - Lexpacker</source>
        <translation>Lexpack - упаковщик словарей</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Открыть...</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Keep original file(s)</source>
        <translation>Сохранять исходные файлы</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>О программе...</translation>
    </message>
    <message>
        <source>F1</source>
        <translation>F1</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <source>Use Open button or drag and drop files you want to (de)compress over the window</source>
        <translation>Нажмите «Открыть...» или перетащите на окно файлы, которые нужно сжать или распаковать</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>Old size</source>
        <translation>Старый размер</translation>
    </message>
    <message>
        <source>New size</source>
        <translation>Новый размер</translation>
    </message>
    <message>
        <source>%</source>
        <translation>%</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>About Lexpack</source>
        <translation>О программе Lexpack</translation>
    </message>
    <message>
        <source>&lt;b&gt;Lexpacker&lt;/b&gt;&lt;br&gt;%2&lt;br&gt;version %1&lt;br&gt;&lt;br&gt;Made by &lt;a href=&quot;https://lexpack.org/&quot;&gt;the Lexpack developers&lt;/a&gt;&lt;hr&gt;Qt %3 by &lt;a href=&quot;https://www.qt.io&quot;&gt;The Qt Company&lt;/a&gt;&lt;br&gt;&lt;br&gt;%4</source>
        <translation>&lt;b&gt;Lexpacker&lt;/b&gt;&lt;br&gt;%2&lt;br&gt;версия %1&lt;br&gt;&lt;br&gt;Разработано &lt;a href=&quot;https://lexpack.org/&quot;&gt;разработчиками Lexpack&lt;/a&gt;&lt;hr&gt;Qt %3 от &lt;a href=&quot;https://www.qt.io&quot;&gt;The Qt Company&lt;/a&gt;&lt;br&gt;&lt;br&gt;%4</translation>
    </message>
    <message>
        <source>Results</source>
        <translation>Результаты</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Сведения</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Ход выполнения</translation>
    </message>
    <message>
        <source>Details of the selected file</source>
        <translation>Сведения о выбранном файле</translation>
    </message>
    <message>
        <source>Open containing folder</source>
        <translation>Открыть папку с файлом</translation>
    </message>
    <message>
        <source>Copy path</source>
        <translation>Копировать путь</translation>
    </message>
    <message>
        <source>Copy error</source>
        <translation>Копировать ошибку</translation>
    </message>
</context>
</TS>
