<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>CAboutDlg</name>
    <message>
        <source>Pomvane Version %1</source>
        <translation>Pomvane version %1</translation>
    </message>
    <message>
        <source>© 2026 The Pomvane developers</source>
        <translation>© 2026 L’équipe Pomvane</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>About Pomvane</source>
        <translation>À propos de Pomvane</translation>
    </message>
</context>
<context>
    <name>CCountedFilesDlg</name>
    <message>
        <source>Counted Files</source>
        <translation>Fichiers comptés</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copier</translation>
    </message>
    <message>
        <source>&amp;Save As...</source>
        <translation>&amp;Enregistrer sous...</translation>
    </message>
    <message>
        <source>Save Counted Files</source>
        <translation>Enregistrer les fichiers comptés</translation>
    </message>
    <message>
        <source>CSV files (*.csv)</source>
        <translation>Fichiers CSV (*.csv)</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>Impossible d’enregistrer %1 : %2</translation>
    </message>
</context>
<context>
    <name>CFailedFilesDlg</name>
    <message>
        <source>Failed Files</source>
        <translation>Fichiers illisibles</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Reason</source>
        <translation>Raison</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copier</translation>
    </message>
</context>
<context>
    <name>CPomvaneDlg</name>
    <message>
        <source>Total files:</source>
        <translation>Fichiers&#xa0;:</translation>
    </message>
    <message>
        <source>Total characters:</source>
        <translation>Caractères&#xa0;:</translation>
    </message>
    <message>
        <source>Total lines:</source>
        <translation>Lignes&#xa0;:</translation>
    </message>
    <message>
        <source>Current file</source>
        <translation>Fichier en cours</translation>
    </message>
    <message>
        <source>Dropped files</source>
        <translation>Fichiers déposés</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Réinitialiser</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Add &amp;Files...</source>
        <translation>&amp;Ajouter des fichiers...</translation>
    </message>
    <message>
        <source>&amp;Paste Files</source>
        <translation>Co&amp;ller des fichiers</translation>
    </message>
    <message>
        <source>Copy &amp;Totals</source>
        <translation>Copier les &amp;totaux</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Ajouter des fichiers</translation>
    </message>
    <message>
        <source>&amp;About Pomvane...</source>
        <translation>À &amp;propos de Pomvane...</translation>
    </message>
    <message>
        <source>Fai&amp;led Files...</source>
        <translation>&amp;Fichiers illisibles...</translation>
    </message>
    <message>
        <source>Count Files in F&amp;olders</source>
        <translation>Compter les fichiers des d&amp;ossiers</translation>
    </message>
    <message>
        <source>Cou&amp;nted Files...</source>
        <translation>Fichiers co&amp;mptés...</translation>
    </message>
    <message>
        <source>Count &amp;Unicode Characters</source>
        <translation>Compter les caractères &amp;Unicode</translation>
    </message>
    <message>
        <source>Skip &amp;Ignored Files</source>
        <translation>&amp;Sauter les fichiers ignorés</translation>
    </message>
</context>
<context>
    <name>counted_list</name>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Characters</source>
        <translation>Caractères</translation>
    </message>
    <message>
        <source>Lines</source>
        <translation>Lignes</translation>
    </message>
    <message>
        <source>Filter by name</source>
        <translation>Filtrer par nom</translation>
    </message>
</context>
<context>
    <name>failed_list</name>
    <message>
        <source>and %1 more</source>
        <translation>et %1 de plus</translation>
    </message>
</context>
<context>
    <name>failure_text</name>
    <message>
        <source>No such file or directory</source>
        <translation>Aucun fichier ou dossier de ce type</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>n’est pas un fichier ordinaire</translation>
    </message>
    <message>
        <source>read error after %1 bytes: %2</source>
        <translation>erreur de lecture après %1&#xa0;octets&#xa0;: %2</translation>
    </message>
    <message>
        <source>read would block</source>
        <translation>la lecture bloquerait</translation>
    </message>
    <message>
        <source>file system loop</source>
        <translation>boucle dans le système de fichiers</translation>
    </message>
    <message>
        <source>name is not valid Unicode</source>
        <translation>le nom n’est pas de l’Unicode valide</translation>
    </message>
    <message>
        <source>read error after %1 bytes: the file was shortened</source>
        <translation>erreur de lecture après %1&#xa0;octets&#xa0;: le fichier a été raccourci</translation>
    </message>
    <message>
        <source>a folder in it moved during the walk</source>
        <translation>un dossier qu’il contient a été déplacé pendant le parcours</translation>
    </message>
    <message>
        <source>is a folder; turn on Count Files in Folders</source>
        <translation>est un dossier&#xa0;; activez «&#xa0;Compter les fichiers des dossiers&#xa0;»</translation>
    </message>
    <message>
        <source>its ignore rules could not be read</source>
        <translation>ses règles d’exclusion n’ont pas pu être lues</translation>
    </message>
</context>
<context>
    <name>totals_text</name>
    <message numerus="yes">
        <source>%1 (%2 failed to open)</source>
        <comment>files counted (of which failed)</comment>
        <translation>
            <numerusform>%1 (%2 illisible)</numerusform>
            <numerusform>%1 (%2 illisibles)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>window_view</name>
    <message>
        <source>Drop files here. Right-click for more.</source>
        <translation>Déposez des fichiers ici. Clic droit pour plus.</translation>
    </message>
</context>
</TS>
