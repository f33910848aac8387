<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>Pomvane Version %1</source>
        <translation>Pomvane Version %1</translation>
    </message>
    <message>
        <source>© 2026 The Pomvane developers</source>
        <translation>© 2026 Die Pomvane-Entwickler</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>About Pomvane</source>
        <translation>Über Pomvane</translation>
    </message>
</context>
<context>
    <name>CCountedFilesDlg</name>
    <message>
        <source>Counted Files</source>
        <translation>Gezählte Dateien</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Save As...</source>
        <translation>&amp;Speichern unter...</translation>
    </message>
    <message>
        <source>Save Counted Files</source>
        <translation>Gezählte Dateien speichern</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>CSV-Dateien (*.csv)</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>%1 kann nicht gespeichert werden: %2</translation>
    </message>
</context>
<context>
    <name>CFailedFilesDlg</name>
    <message>
        <source>Failed Files</source>
        <translation>Nicht lesbare Dateien</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>Grund</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
</context>
<context>
    <name>CPomvaneDlg</name>
    <message>
        <source>Total files:</source>
        <translation>Dateien:</translation>
    </message>
    <message>
        <source>Total characters:</source>
        <translation>Zeichen:</translation>
    </message>
    <message>
        <source>Total lines:</source>
        <translation>Zeilen:</translation>
    </message>
    <message>
        <source>Current file</source>
        <translation>Aktuelle Datei</translation>
    </message>
    <message>
        <source>Dropped files</source>
        <translation>Abgelegte Dateien</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Add &amp;Files...</source>
        <translation>&amp;Dateien hinzufügen...</translation>
    </message>
    <message>
        <source>&amp;Paste Files</source>
        <translation>Dateien &amp;einfügen</translation>
    </message>
    <message>
        <source>Copy &amp;Totals</source>
        <translation>&amp;Summen kopieren</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>&amp;About Pomvane...</source>
        <translation>Ü&amp;ber Pomvane...</translation>
    </message>
    <message>
        <source>Fai&amp;led Files...</source>
        <translation>&amp;Nicht lesbare Dateien...</translation>
    </message>
    <message>
        <source>Count Files in F&amp;olders</source>
        <translation>Dateien in &amp;Ordnern zählen</translation>
    </message>
    <message>
        <source>Cou&amp;nted Files...</source>
        <translation>&amp;Gezählte Dateien...</translation>
    </message>
    <message>
        <source>Count &amp;Unicode Characters</source>
        <translation>&amp;Unicode-Zeichen zählen</translation>
    </message>
    <message>
        <source>Skip &amp;Ignored Files</source>
        <translation>&amp;Ignorierte Dateien überspringen</translation>
    </message>
</context>
<context>
    <name>counted_list</name>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Characters</source>
        <translation>Zeichen</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Zeilen</translation>
    </message>
    <message>
        <source>Filter by name</source>
        <translation>Nach Namen filtern</translation>
    </message>
</context>
<context>
    <name>failed_list</name>
    <message>
        <source>and %1 more</source>
        <translation>und %1 weitere</translation>
    </message>
</context>
<context>
    <name>failure_text</name>
    <message>
        <source>No such file or directory</source>
        <translation>Datei oder Verzeichnis nicht gefunden</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
    <message>
        <source>read error after %1 bytes: %2</source>
        <translation>Lesefehler nach %1 Bytes: %2</translation>
    </message>
    <message>
        <source>read would block</source>
        <translation>Lesen würde blockieren</translation>
    </message>
    <message>
        <source>file system loop</source>
        <translation>Schleife im Dateisystem</translation>
    </message>
    <message>
        <source>name is not valid Unicode</source>
        <translation>Name ist kein gültiges Unicode</translation>
    </message>
    <message>
        <source>read error after %1 bytes: the file was shortened</source>
        <translation>Lesefehler nach %1 Bytes: die Datei wurde gekürzt</translation>
    </message>
    <message>
        <source>a folder in it moved during the walk</source>
        <translation>ein Ordner darin wurde während des Durchlaufs verschoben</translation>
    </message>
    <message>
        <source>is a folder; turn on Count Files in Folders</source>
        <translation>ist ein Ordner; „Dateien in Ordnern zählen“ einschalten</translation>
    </message>
    <message>
        <source>its ignore rules could not be read</source>
        <translation>seine Ignorier-Regeln konnten nicht gelesen werden</translation>
    </message>
</context>
<context>
    <name>totals_text</name>
    <message numerus="yes">
        <source>%1 (%2 failed to open)</source>
        <comment>files counted (of which failed)</comment>
        <translation>
            <numerusform>%1 (%2 nicht lesbar)</numerusform>
            <numerusform>%1 (%2 nicht lesbar)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>window_view</name>
    <message>
        <source>Drop files here. Right-click for more.</source>
        <translation>Dateien hier ablegen. Rechtsklick für mehr.</translation>
    </message>
</context>
</TS>
