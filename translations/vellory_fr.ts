<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>AppCommands</name>
    <message>
        <source>Vellory 2 - Your important files, safely copied to a stick or card whenever you plug it in</source>
        <translation>Vellory 2 – vos fichiers importants, copiés en toute sécurité sur une clé ou une carte dès que vous la branchez</translation>
    </message>
    <message>
        <source>I keep copies of my important files on a USB drive with Vellory, and it backs them up by itself as soon as I plug the drive in. Vellory works just as well with an SD card, so there is no excuse left for not having a backup.</source>
        <translation>Je garde des copies de mes fichiers importants sur une clé USB avec Vellory, qui les sauvegarde tout seul dès que je branche la clé. Vellory fonctionne tout aussi bien avec une carte SD : plus aucune excuse pour ne pas avoir de sauvegarde.</translation>
    </message>
    <message>
        <source>&lt;appName&gt; Feedback</source>
        <translation>Commentaires sur &lt;appName&gt;</translation>
    </message>
    <message>
        <source>Please enter your message below:
</source>
        <translation>Veuillez saisir votre message ci-dessous :
</translation>
    </message>
</context>
<context>
    <name>BackgroundMode</name>
    <message>
        <source>Backups continue in the background</source>
        <translation>Les sauvegardes continuent en arrière-plan</translation>
    </message>
    <message>
        <source>To quit, open %1 and choose Quit.</source>
        <translation>Pour quitter, ouvrez %1 et choisissez « Quitter ».</translation>
    </message>
</context>
<context>
    <name>BackupLogView</name>
    <message>
        <source>Backup Log</source>
        <translation>Journal de sauvegarde</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Copier</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Tout sélectionner</translation>
    </message>
</context>
<context>
    <name>BackupLogWindow</name>
    <message>
        <source>Backup Log</source>
        <translation>Journal de sauvegarde</translation>
    </message>
</context>
<context>
    <name>BackupNotifications</name>
    <message>
        <source>The backup volume</source>
        <translation>Le volume de sauvegarde</translation>
    </message>
    <message>
        <source>Automatic backup started</source>
        <translation>Sauvegarde automatique démarrée</translation>
    </message>
    <message>
        <source>Backing up to %1.</source>
        <translation>Sauvegarde sur %1.</translation>
    </message>
    <message>
        <source>Could not eject %1</source>
        <translation>Impossible d&apos;éjecter %1</translation>
    </message>
    <message>
        <source>the volume</source>
        <translation>le volume</translation>
    </message>
    <message>
        <source>Nothing needed backing up.</source>
        <translation>Il n&apos;y avait rien à sauvegarder.</translation>
    </message>
    <message>
        <source>1 item</source>
        <translation>1 élément</translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation>%1 éléments</translation>
    </message>
    <message>
        <source>%1 backed up, %2.</source>
        <translation>%1 sauvegardé(s), %2.</translation>
    </message>
    <message>
        <source>1 error.</source>
        <translation>1 erreur.</translation>
    </message>
    <message>
        <source>%1 errors.</source>
        <translation>%1 erreurs.</translation>
    </message>
    <message>
        <source>%1 was ejected and can now be removed safely.</source>
        <translation>%1 a été éjecté et peut maintenant être retiré en toute sécurité.</translation>
    </message>
    <message>
        <source>%1 could not be ejected: %2</source>
        <translation>%1 n&apos;a pas pu être éjecté : %2</translation>
    </message>
    <message>
        <source>Show Log</source>
        <translation>Afficher le journal</translation>
    </message>
    <message>
        <source>Backup ended</source>
        <translation>Sauvegarde terminée</translation>
    </message>
    <message>
        <source>Nothing was backed up.</source>
        <translation>Rien n&apos;a été sauvegardé.</translation>
    </message>
</context>
<context>
    <name>BackupReminder</name>
    <message>
        <source>Time for a backup</source>
        <translation>Il est temps de faire une sauvegarde</translation>
    </message>
    <message>
        <source>Your last backup to &quot;%1&quot; was %2 days ago. Connect it to back up your files.</source>
        <translation>Votre dernière sauvegarde sur « %1 » date d&apos;il y a %2 jours. Branchez ce volume pour sauvegarder vos fichiers.</translation>
    </message>
    <message>
        <source>Vellory 2 now starts at login to remind you when a backup is due; you can turn this off in Settings.</source>
        <translation>Vellory 2 se lance désormais à l&apos;ouverture de session pour vous rappeler quand une sauvegarde est due ; vous pouvez désactiver cela dans les Paramètres.</translation>
    </message>
</context>
<context>
    <name>BackupsWindow</name>
    <message>
        <source>Backups</source>
        <translation>Sauvegardes</translation>
    </message>
</context>
<context>
    <name>CellView</name>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Open Containing Folder</source>
        <translation>Ouvrir le dossier contenant</translation>
    </message>
</context>
<context>
    <name>EngineText</name>
    <message>
        <source>Backing up to &quot;%1&quot;</source>
        <translation>Sauvegarde sur « %1 »</translation>
    </message>
    <message>
        <source>Backing up to Demo volume</source>
        <translation>Sauvegarde sur le volume de démonstration</translation>
    </message>
    <message>
        <source>Backup Process finished</source>
        <translation>Sauvegarde terminée</translation>
    </message>
    <message>
        <source>Backup Initialized</source>
        <translation>Sauvegarde initialisée</translation>
    </message>
    <message>
        <source>Scanning %1...</source>
        <translation>Analyse de %1…</translation>
    </message>
    <message>
        <source>Backing up &quot;%1&quot;...</source>
        <translation>Sauvegarde de « %1 »…</translation>
    </message>
    <message>
        <source>Items checked %1, %2 to copy, requires %3</source>
        <translation>%1 éléments vérifiés, %2 à copier, %3 nécessaires</translation>
    </message>
    <message>
        <source>Items backed up %1, %2. Errors %3</source>
        <translation>%1 éléments sauvegardés, %2. Erreurs : %3</translation>
    </message>
    <message>
        <source>Volume not connected</source>
        <translation>Volume non connecté</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Jamais</translation>
    </message>
    <message>
        <source>No volume selected</source>
        <translation>Aucun volume sélectionné</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Non connecté</translation>
    </message>
    <message>
        <source>%1 Capacity</source>
        <translation>%1 de capacité</translation>
    </message>
    <message>
        <source>%1 Available</source>
        <translation>%1 disponibles</translation>
    </message>
    <message>
        <source>Zero KB</source>
        <translation>Zéro Ko</translation>
    </message>
    <message>
        <source>1 byte</source>
        <translation>1 octet</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 octets</translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation>Sans titre</translation>
    </message>
    <message>
        <source>Unknown name</source>
        <translation>Nom inconnu</translation>
    </message>
    <message>
        <source>The item is not a volume. Please try again with a volume.</source>
        <translation>L&apos;élément n&apos;est pas un volume. Veuillez réessayer avec un volume.</translation>
    </message>
    <message>
        <source>The volume is not browsable, it can&apos;t be seen from the Finder. Please select a different volume.</source>
        <translation>Le volume n&apos;est pas consultable : il n&apos;est pas visible dans le gestionnaire de fichiers. Veuillez choisir un autre volume.</translation>
    </message>
    <message>
        <source>The volume is not browsable, it can&apos;t be seen from the file manager. Please select a different volume.</source>
        <translation>Le volume n&apos;est pas consultable : il n&apos;est pas visible dans le gestionnaire de fichiers. Veuillez choisir un autre volume.</translation>
    </message>
    <message>
        <source>You don&apos;t have permission to read from the volume. Please select a different volume.</source>
        <translation>Vous n&apos;avez pas l&apos;autorisation de lire ce volume. Veuillez choisir un autre volume.</translation>
    </message>
    <message>
        <source>You don&apos;t have permission to write to the volume. Either unlock this volume or select a different volume.</source>
        <translation>Vous n&apos;avez pas l&apos;autorisation d&apos;écrire sur ce volume. Déverrouillez-le ou choisissez un autre volume.</translation>
    </message>
    <message>
        <source>Unable to obtain the volume&apos;s identifier. Please select a different volume.</source>
        <translation>Impossible d&apos;obtenir l&apos;identifiant du volume. Veuillez choisir un autre volume.</translation>
    </message>
    <message>
        <source>The item &quot;%1&quot; is not on this computer&apos;s file system.</source>
        <translation>L&apos;élément « %1 » ne se trouve pas sur le système de fichiers de cet ordinateur.</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 Ko</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 Mo</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 Go</translation>
    </message>
    <message>
        <source>%1 TB</source>
        <translation>%1 To</translation>
    </message>
    <message>
        <source>%1 PB</source>
        <translation>%1 Po</translation>
    </message>
    <message>
        <source>%1 EB</source>
        <translation>%1 Eo</translation>
    </message>
    <message>
        <source>Preparing...</source>
        <translation>Préparation…</translation>
    </message>
    <message>
        <source>The backup was cancelled before it finished.</source>
        <translation>La sauvegarde a été annulée avant la fin.</translation>
    </message>
    <message>
        <source>The volume &quot;%1&quot; is full: %2 items (%3) were not copied.</source>
        <translation>Le volume « %1 » est plein : %2 éléments (%3) n&apos;ont pas été copiés.</translation>
    </message>
    <message>
        <source>The volume &quot;%1&quot; stopped accepting writes: %2 items were not copied.</source>
        <translation>Le volume « %1 » n&apos;accepte plus d&apos;écritures : %2 éléments n&apos;ont pas été copiés.</translation>
    </message>
    <message>
        <source>The volume was not ejected: it stopped accepting writes.</source>
        <translation>Le volume n&apos;a pas été éjecté : il n&apos;accepte plus d&apos;écritures.</translation>
    </message>
    <message>
        <source>Verifying &quot;%1&quot;</source>
        <translation>Vérification de « %1 »</translation>
    </message>
    <message>
        <source>Verify Initialized on %1</source>
        <translation>Vérification initialisée sur %1</translation>
    </message>
    <message>
        <source>Verify Process finished</source>
        <translation>Vérification terminée</translation>
    </message>
    <message>
        <source>Verifying %1 copies.</source>
        <translation>Vérification de %1 copies.</translation>
    </message>
    <message>
        <source>Verifying &quot;%1&quot;...</source>
        <translation>Vérification de « %1 »…</translation>
    </message>
    <message>
        <source>Items checked %1, %2 to verify (%3), %4 due for backup</source>
        <translation>%1 éléments examinés, %2 à vérifier (%3), %4 à sauvegarder</translation>
    </message>
    <message>
        <source>Items verified %1, %2. Errors %3. Due for backup %4</source>
        <translation>%1 éléments vérifiés, %2. Erreurs : %3. À sauvegarder : %4</translation>
    </message>
    <message>
        <source>Recopying %1 copies that differ.</source>
        <translation>Recopie des %1 copies qui diffèrent.</translation>
    </message>
    <message>
        <source>Recopied %1 of %2 copies.</source>
        <translation>%1 copies sur %2 recopiées.</translation>
    </message>
    <message>
        <source>The verify was cancelled before it finished.</source>
        <translation>La vérification a été annulée avant la fin.</translation>
    </message>
    <message>
        <source>Restoring from &quot;%1&quot;</source>
        <translation>Restauration depuis « %1 »</translation>
    </message>
    <message>
        <source>Restore Initialized from %1</source>
        <translation>Restauration initialisée depuis %1</translation>
    </message>
    <message>
        <source>Items checked %1, %2 to restore, requires %3</source>
        <translation>%1 éléments vérifiés, %2 à restaurer, %3 nécessaires</translation>
    </message>
    <message>
        <source>Restoring %1 items.</source>
        <translation>Restauration de %1 éléments.</translation>
    </message>
    <message>
        <source>Items restored %1, %2. Errors %3</source>
        <translation>%1 éléments restaurés, %2. Erreurs : %3</translation>
    </message>
    <message>
        <source>Restore Process finished</source>
        <translation>Restauration terminée</translation>
    </message>
    <message>
        <source>Unable to use &quot;%1&quot;</source>
        <translation>Impossible d&apos;utiliser « %1 »</translation>
    </message>
    <message>
        <source>Unknown item</source>
        <translation>Élément inconnu</translation>
    </message>
    <message>
        <source>Unknown reason</source>
        <translation>Raison inconnue</translation>
    </message>
</context>
<context>
    <name>IconSizeControl</name>
    <message>
        <source>Icon Size</source>
        <translation>Taille des icônes</translation>
    </message>
    <message>
        <source>Large Icons</source>
        <translation>Grandes icônes</translation>
    </message>
    <message>
        <source>Display large icons</source>
        <translation>Afficher de grandes icônes</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Moyennes</translation>
    </message>
    <message>
        <source>Display medium sized icons</source>
        <translation>Afficher des icônes moyennes</translation>
    </message>
    <message>
        <source>Small Icons</source>
        <translation>Petites icônes</translation>
    </message>
    <message>
        <source>Display small sized icons</source>
        <translation>Afficher de petites icônes</translation>
    </message>
</context>
<context>
    <name>JobEnding</name>
    <message>
        <source>Result: %1</source>
        <translation>Résultat : %1</translation>
    </message>
</context>
<context>
    <name>KitAlert</name>
    <message>
        <source>Couldn&apos;t configure update system</source>
        <translation>Impossible de configurer le système de mise à jour</translation>
    </message>
    <message>
        <source>Unable to generate e-mail</source>
        <translation>Impossible de créer l&apos;e-mail</translation>
    </message>
    <message>
        <source>Unable to create base URL.</source>
        <translation>Impossible de créer l&apos;adresse de base.</translation>
    </message>
    <message>
        <source>Resulting URL is invalid.</source>
        <translation>L&apos;adresse obtenue n&apos;est pas valide.</translation>
    </message>
    <message>
        <source>Unable to obtain the CPU Type</source>
        <translation>Impossible de déterminer le type de processeur</translation>
    </message>
    <message>
        <source>Unable to check for update</source>
        <translation>Impossible de rechercher une mise à jour</translation>
    </message>
    <message>
        <source>Version: %1</source>
        <translation>Version : %1</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Inconnue</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>Open Backup Folder</source>
        <translation>Ouvrir le dossier de sauvegarde</translation>
    </message>
    <message>
        <source>Backup Now</source>
        <translation>Sauvegarder maintenant</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Paramètres…</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>Contact Brindlewick for support or feedback...</source>
        <translation>Contacter Brindlewick pour obtenir de l&apos;aide ou donner votre avis…</translation>
    </message>
    <message>
        <source>Visit Brindlewick&apos;s Website...</source>
        <translation>Visiter le site web de Brindlewick…</translation>
    </message>
    <message>
        <source>Stay Up To Date</source>
        <translation>Rester informé</translation>
    </message>
    <message>
        <source>Share the Vellory 2 love...</source>
        <translation>Faire connaître Vellory 2…</translation>
    </message>
    <message>
        <source>About Vellory 2</source>
        <translation>À propos de Vellory 2</translation>
    </message>
    <message>
        <source>Check for updates...</source>
        <translation>Rechercher des mises à jour…</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>Partager</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Help us to spread the word</source>
        <translation>Aidez-nous à faire passer le mot</translation>
    </message>
    <message>
        <source>Verify Backup</source>
        <translation>Vérifier la sauvegarde</translation>
    </message>
    <message>
        <source>Restore…</source>
        <translation>Restaurer…</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Restaurer</translation>
    </message>
</context>
<context>
    <name>NIMBProgressWindow</name>
    <message>
        <source>Unknown</source>
        <translation>Inconnu</translation>
    </message>
    <message>
        <source>%1 Updates</source>
        <translation>Mises à jour de %1</translation>
    </message>
    <message>
        <source>Checking for a &lt;b&gt;%1&lt;/b&gt; update...</source>
        <translation>Recherche d&apos;une mise à jour de &lt;b&gt;%1&lt;/b&gt;…</translation>
    </message>
    <message>
        <source> Cancel </source>
        <translation> Annuler </translation>
    </message>
</context>
<context>
    <name>NIMBSettings</name>
    <message>
        <source>Check frequency</source>
        <translation>Fréquence de vérification</translation>
    </message>
    <message>
        <source>Next check</source>
        <translation>Prochaine vérification</translation>
    </message>
    <message>
        <source>Not scheduled</source>
        <translation>Non planifiée</translation>
    </message>
    <message>
        <source>Available update</source>
        <translation>Mise à jour disponible</translation>
    </message>
    <message>
        <source> Ignore </source>
        <translation> Ignorer </translation>
    </message>
    <message>
        <source> Cancel </source>
        <translation> Annuler </translation>
    </message>
    <message>
        <source>Version Update Info missing</source>
        <translation>Version : informations de mise à jour manquantes</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>No Display Version</source>
        <translation>Aucune version affichée</translation>
    </message>
    <message>
        <source>Ignoring version None</source>
        <translation>Version ignorée : aucune</translation>
    </message>
    <message>
        <source>Ignoring version %1</source>
        <translation>Version %1 ignorée</translation>
    </message>
    <message>
        <source>Ignore Info missing</source>
        <translation>Informations sur la version ignorée manquantes</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Jamais</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Par défaut</translation>
    </message>
    <message>
        <source>Every launch</source>
        <translation>À chaque lancement</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>Tous les jours</translation>
    </message>
    <message>
        <source>Weekly</source>
        <translation>Toutes les semaines</translation>
    </message>
    <message>
        <source>Monthly</source>
        <translation>Tous les mois</translation>
    </message>
</context>
<context>
    <name>NIMBSettingsView</name>
    <message>
        <source>Updates</source>
        <translation>Mises à jour</translation>
    </message>
    <message>
        <source>Show debugging options</source>
        <translation>Afficher les options de débogage</translation>
    </message>
    <message>
        <source>Debugging options</source>
        <translation>Options de débogage</translation>
    </message>
    <message>
        <source>Show Debugging options</source>
        <translation>Afficher les options de débogage</translation>
    </message>
    <message>
        <source>Ignore maintenance</source>
        <translation>Ignorer la maintenance</translation>
    </message>
    <message>
        <source>Test silent check</source>
        <translation>Tester la vérification silencieuse</translation>
    </message>
    <message>
        <source> Reset Settings </source>
        <translation> Réinitialiser les paramètres </translation>
    </message>
    <message>
        <source> Check Now </source>
        <translation> Vérifier maintenant </translation>
    </message>
</context>
<context>
    <name>QuitGuard</name>
    <message>
        <source>%1 backups are running. Stop them and quit?</source>
        <translation>%1 sauvegardes sont en cours. Les arrêter et quitter ?</translation>
    </message>
    <message>
        <source>A backup is running. Stop it and quit?</source>
        <translation>Une sauvegarde est en cours. L&apos;arrêter et quitter ?</translation>
    </message>
    <message>
        <source>A backup to &quot;%1&quot; is running. Stop it and quit?</source>
        <translation>Une sauvegarde sur « %1 » est en cours. L&apos;arrêter et quitter ?</translation>
    </message>
    <message>
        <source>Stop and Quit</source>
        <translation>Arrêter et quitter</translation>
    </message>
</context>
<context>
    <name>RestoreModel</name>
    <message>
        <source>The backup volume &quot;%1&quot; is not connected.</source>
        <translation>Le volume de sauvegarde « %1 » n&apos;est pas connecté.</translation>
    </message>
    <message>
        <source>No connected volume holds backups.</source>
        <translation>Aucun volume connecté ne contient de sauvegardes.</translation>
    </message>
    <message>
        <source>There are no backups on this volume.</source>
        <translation>Ce volume ne contient aucune sauvegarde.</translation>
    </message>
    <message>
        <source>Nothing backed up here.</source>
        <translation>Rien n&apos;a été sauvegardé ici.</translation>
    </message>
</context>
<context>
    <name>RestoreWindow</name>
    <message>
        <source>Restore</source>
        <translation>Restaurer</translation>
    </message>
    <message>
        <source>Restore To</source>
        <translation>Restaurer vers</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Computer</source>
        <translation>Ordinateur</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Remonter</translation>
    </message>
    <message>
        <source>Up one folder</source>
        <translation>Remonter d&apos;un dossier</translation>
    </message>
    <message>
        <source>Backed-up items</source>
        <translation>Éléments sauvegardés</translation>
    </message>
    <message>
        <source>Open %1</source>
        <translation>Ouvrir %1</translation>
    </message>
    <message>
        <source>Pick %1</source>
        <translation>Sélectionner %1</translation>
    </message>
    <message>
        <source>%1 (link)</source>
        <translation>%1 (lien)</translation>
    </message>
    <message>
        <source>Restore to</source>
        <translation>Restaurer vers</translation>
    </message>
    <message>
        <source>The original location</source>
        <translation>L&apos;emplacement d&apos;origine</translation>
    </message>
    <message>
        <source>This folder:</source>
        <translation>Ce dossier :</translation>
    </message>
    <message>
        <source>Restore to this folder</source>
        <translation>Restaurer dans ce dossier</translation>
    </message>
    <message>
        <source>Folder to restore to</source>
        <translation>Dossier où restaurer</translation>
    </message>
    <message>
        <source>Choose a folder</source>
        <translation>Choisissez un dossier</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>Choose a folder to restore to</source>
        <translation>Choisir un dossier où restaurer</translation>
    </message>
    <message>
        <source>When a local file differs</source>
        <translation>Quand un fichier local diffère</translation>
    </message>
    <message>
        <source>Keep it and restore the backup&apos;s version beside it</source>
        <translation>Le garder et restaurer la version sauvegardée à côté</translation>
    </message>
    <message>
        <source>Keep it and skip the backup&apos;s version</source>
        <translation>Le garder et ignorer la version sauvegardée</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Restore the picked items</source>
        <translation>Restaurer les éléments sélectionnés</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Général</translation>
    </message>
</context>
<context>
    <name>SharePanel</name>
    <message>
        <source>Try %1 Today %2</source>
        <translation>Essayez %1 dès aujourd&apos;hui : %2</translation>
    </message>
</context>
<context>
    <name>SharePanel2025</name>
    <message>
        <source>Help us to spread the word</source>
        <translation>Aidez-nous à faire passer le mot</translation>
    </message>
    <message>
        <source>We need your help to get %1 into the hands of other people who could benefit from it. Please use the field and buttons below to share a short message on your favorite social media.</source>
        <translation>Nous avons besoin de votre aide pour faire connaître %1 à d&apos;autres personnes à qui il pourrait être utile. Utilisez le champ et les boutons ci-dessous pour partager un court message sur vos réseaux sociaux préférés.</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message>
        <source> Share via e-mail </source>
        <translation> Partager par e-mail </translation>
    </message>
    <message>
        <source> Share on Facebook </source>
        <translation> Partager sur Facebook </translation>
    </message>
    <message>
        <source> Share on Threads </source>
        <translation> Partager sur Threads </translation>
    </message>
    <message>
        <source> Share on X </source>
        <translation> Partager sur X </translation>
    </message>
    <message>
        <source>Copy Message </source>
        <translation>Copier le message </translation>
    </message>
    <message>
        <source> Close </source>
        <translation> Fermer </translation>
    </message>
</context>
<context>
    <name>SleepWhileBackingUp</name>
    <message>
        <source>A backup is running</source>
        <translation>Une sauvegarde est en cours</translation>
    </message>
</context>
<context>
    <name>SourcePathView</name>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Raverizavu</source>
        <translation>Raverizavu</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Ajouter…</translation>
    </message>
    <message>
        <source>Drag and drop files &amp; folders here to back them up, </source>
        <translation>Glissez-déposez ici des fichiers et des dossiers pour les sauvegarder, </translation>
    </message>
    <message>
        <source>or click on the &quot;%1 Add...&quot; button above to select files or folders.</source>
        <translation>ou cliquez sur le bouton « %1 Ajouter… » ci-dessus pour choisir des fichiers ou des dossiers.</translation>
    </message>
</context>
<context>
    <name>StartupSettingsView</name>
    <message>
        <source>Start at login</source>
        <translation>Lancer à l&apos;ouverture de session</translation>
    </message>
    <message>
        <source>Runs in the background from login on, so that connecting the destination starts a backup while &quot;Auto Backup on Connect&quot; is on.</source>
        <translation>S&apos;exécute en arrière-plan dès l&apos;ouverture de session, pour que le branchement de la destination lance une sauvegarde tant que « Sauvegarder au branchement » est activé.</translation>
    </message>
    <message>
        <source>Remind me after</source>
        <translation>Me le rappeler après</translation>
    </message>
    <message>
        <source>1 week</source>
        <translation>1 semaine</translation>
    </message>
    <message>
        <source>2 weeks</source>
        <translation>2 semaines</translation>
    </message>
    <message>
        <source>1 month</source>
        <translation>1 mois</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Jamais</translation>
    </message>
    <message>
        <source>When the last backup is older than this and the destination is not connected, a notification reminds you, at most once a day.</source>
        <translation>Si la dernière sauvegarde est plus ancienne que ce délai et que la destination n&apos;est pas connectée, une notification vous le rappelle, au plus une fois par jour.</translation>
    </message>
</context>
<context>
    <name>StatusIcon</name>
    <message>
        <source>Open Vellory 2</source>
        <translation>Ouvrir Vellory 2</translation>
    </message>
    <message>
        <source>Backup Now</source>
        <translation>Sauvegarder maintenant</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
</context>
<context>
    <name>ThreadView</name>
    <message>
        <source>Log</source>
        <translation>Journal</translation>
    </message>
    <message>
        <source> Cancel </source>
        <translation> Annuler </translation>
    </message>
    <message>
        <source> Close </source>
        <translation> Fermer </translation>
    </message>
</context>
<context>
    <name>ThreadsListView</name>
    <message>
        <source>Backups</source>
        <translation>Sauvegardes</translation>
    </message>
</context>
<context>
    <name>VolumeView</name>
    <message>
        <source>Last Backup: %1</source>
        <translation>Dernière sauvegarde : %1</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Choisir</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Destination</translation>
    </message>
    <message>
        <source> Select... </source>
        <translation> Choisir… </translation>
    </message>
    <message>
        <source>Eject</source>
        <translation>Éjecter</translation>
    </message>
    <message>
        <source>Drag and drop a volume here, </source>
        <translation>Glissez-déposez un volume ici </translation>
    </message>
    <message>
        <source>or click &quot;Select...&quot; to choose a destination volume</source>
        <translation>ou cliquez sur « Choisir… » pour sélectionner un volume de destination</translation>
    </message>
    <message>
        <source>%1% used</source>
        <translation>%1 % utilisés</translation>
    </message>
    <message>
        <source>Auto Backup on Connect</source>
        <translation>Sauvegarder au branchement</translation>
    </message>
    <message>
        <source>Auto Eject on Completion</source>
        <translation>Éjecter à la fin</translation>
    </message>
    <message>
        <source> Backup Now </source>
        <translation> Sauvegarder maintenant </translation>
    </message>
    <message>
        <source>Remove Volume</source>
        <translation>Retirer le volume</translation>
    </message>
</context>
<context>
    <name>jobending</name>
    <message>
        <source>Completed with 1 error</source>
        <translation>Terminée avec 1 erreur</translation>
    </message>
    <message>
        <source>Completed with %1 errors</source>
        <translation>Terminée avec %1 erreurs</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>Terminée</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Annulée</translation>
    </message>
    <message>
        <source>Stopped: the volume is full</source>
        <translation>Arrêtée : le volume est plein</translation>
    </message>
    <message>
        <source>Stopped: the volume is gone</source>
        <translation>Arrêtée : le volume n&apos;est plus disponible</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Arrêtée</translation>
    </message>
    <message>
        <source>Backup completed</source>
        <translation>Sauvegarde terminée</translation>
    </message>
    <message>
        <source>Backup completed with 1 error</source>
        <translation>Sauvegarde terminée avec 1 erreur</translation>
    </message>
    <message>
        <source>Backup completed with %1 errors</source>
        <translation>Sauvegarde terminée avec %1 erreurs</translation>
    </message>
    <message>
        <source>Backup cancelled</source>
        <translation>Sauvegarde annulée</translation>
    </message>
    <message>
        <source>Backup stopped: the volume is full</source>
        <translation>Sauvegarde arrêtée : le volume est plein</translation>
    </message>
    <message>
        <source>Backup stopped: the volume is gone</source>
        <translation>Sauvegarde arrêtée : le volume n&apos;est plus disponible</translation>
    </message>
    <message>
        <source>Backup stopped</source>
        <translation>Sauvegarde arrêtée</translation>
    </message>
</context>
</TS>
