<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>CommandLine</name>
    <message>
        <source>no compressor found beside %1</source>
        <translation>рядом с %1 не найден компрессор</translation>
    </message>
    <message>
        <source>compressor: %1</source>
        <translation>компрессор: %1</translation>
    </message>
    <message>
        <source>Compresses each FILE to FILE.dz and decompresses each .dz file,
as if the files had been dropped on the window.</source>
        <translation>Сжимает каждый файл FILE в FILE.dz и распаковывает каждый файл .dz,
как если бы файлы перетащили в окно.</translation>
    </message>
    <message>
        <source>files to compress or decompress</source>
        <translation>файлы для сжатия или распаковки</translation>
    </message>
</context>
<context>
    <name>DictZip</name>
    <message>
        <source>cannot start %1: %2</source>
        <translation>не удаётся запустить %1: %2</translation>
    </message>
    <message>
        <source>the compressor ended abnormally</source>
        <translation>компрессор завершился аварийно</translation>
    </message>
    <message>
        <source>not replaced: %1 exists and cannot be moved to the Trash: %2</source>
        <translation>не заменено: %1 уже есть и не может быть перемещён в корзину: %2</translation>
    </message>
</context>
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
    <message>
        <source>New size as a share of the old size</source>
        <translation>Новый размер в процентах от старого</translation>
    </message>
    <message>
        <source>%1 done, %2 failed, %3 cancelled; %4 bytes added</source>
        <translation>готово: %1, с ошибкой: %2, отменено: %3; прибавилось байт: %4</translation>
    </message>
    <message>
        <source>%1 done, %2 failed, %3 cancelled; %4 bytes saved</source>
        <translation>готово: %1, с ошибкой: %2, отменено: %3; сэкономлено байт: %4</translation>
    </message>
    <message>
        <source>more files are taken once this batch has ended</source>
        <translation>новые файлы принимаются только после окончания этого пакета</translation>
    </message>
    <message>
        <source>the name is not valid UTF-8, so it could stand for another file; rename the file to process it</source>
        <translation>имя не является корректным UTF-8 и может обозначать другой файл; переименуйте файл, чтобы обработать его</translation>
    </message>
    <message>
        <source>the previous %1 is in the Trash: %2</source>
        <translation>прежний файл %1 перемещён в корзину: %2</translation>
    </message>
    <message>
        <source>compressor not found: %1</source>
        <translation>компрессор не найден: %1</translation>
    </message>
</context>
<context>
    <name>Trash</name>
    <message>
        <source>the Recycle Bin cannot take it</source>
        <translation>корзина не может его принять</translation>
    </message>
    <message>
        <source>cannot create %1: %2</source>
        <translation>не удаётся создать %1: %2</translation>
    </message>
    <message>
        <source>its file system has no Trash of this user&apos;s</source>
        <translation>в его файловой системе нет корзины этого пользователя</translation>
    </message>
    <message>
        <source>cannot write in %1: %2</source>
        <translation>не удаётся записать в %1: %2</translation>
    </message>
    <message>
        <source>cannot move %1 to %2: %3</source>
        <translation>не удаётся переместить %1 в %2: %3</translation>
    </message>
    <message>
        <source>the previous %1 is kept as %2: %3</source>
        <translation>прежний файл %1 сохранён как %2: %3</translation>
    </message>
    <message>
        <source>the previous %1 is still there and the new one is %2: %3</source>
        <translation>прежний файл %1 остался на месте, новый — %2: %3</translation>
    </message>
    <message>
        <source>the new %1 is kept as %2: %3</source>
        <translation>новый файл %1 сохранён как %2: %3</translation>
    </message>
</context>
</TS>
