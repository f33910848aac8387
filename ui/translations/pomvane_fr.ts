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
    <message>
        <source>and %1 more</source>
        <translation>et %1 de plus</translation>
    </message>
    <message>
        <source>is a folder</source>
        <translation>est un dossier</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>n’est pas un fichier ordinaire</translation>
    </message>
    <message>
        <source>file system loop</source>
        <translation>boucle dans le système de fichiers</translation>
    </message>
    <message>
        <source>a folder in it moved during the walk</source>
        <translation>un dossier qu’il contient a été déplacé pendant le comptage</translation>
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
    <message numerus="yes">
        <source>%1 (%2 failed to open)</source>
        <comment>files counted (of which failed)</comment>
        <translation>
            <numerusform>%1 (%2 illisible)</numerusform>
            <numerusform>%1 (%2 illisibles)</numerusform>
        </translation>
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
</context>
</TS>
