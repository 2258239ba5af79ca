<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>AppCommands</name>
    <message>
        <source>Vellory 2 - Your important files, safely copied to a stick or card whenever you plug it in</source>
        <translation>Vellory 2 – Ihre wichtigen Dateien, sicher auf einen Stick oder eine Karte kopiert, sobald Sie sie einstecken</translation>
    </message>
    <message>
        <source>I keep copies of my important files on a USB drive with Vellory, and it backs them up by itself as soon as I plug the drive in. Vellory works just as well with an SD card, so there is no excuse left for not having a backup.</source>
        <translation>Ich bewahre Kopien meiner wichtigen Dateien mit Vellory auf einem USB-Stick auf, und Vellory sichert sie von selbst, sobald ich den Stick einstecke. Vellory funktioniert genauso gut mit einer SD-Karte – es gibt also keine Ausrede mehr, keine Sicherung zu haben.</translation>
    </message>
    <message>
        <source>&lt;appName&gt; Feedback</source>
        <translation>&lt;appName&gt;-Feedback</translation>
    </message>
    <message>
        <source>Please enter your message below:
</source>
        <translation>Bitte geben Sie Ihre Nachricht unten ein:
</translation>
    </message>
</context>
<context>
    <name>BackgroundMode</name>
    <message>
        <source>Backups continue in the background</source>
        <translation>Sicherungen laufen im Hintergrund weiter</translation>
    </message>
    <message>
        <source>To quit, open %1 and choose Quit.</source>
        <translation>Zum Beenden öffnen Sie %1 und wählen „Beenden“.</translation>
    </message>
</context>
<context>
    <name>BackupLogView</name>
    <message>
        <source>Backup Log</source>
        <translation>Sicherungsprotokoll</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alles auswählen</translation>
    </message>
</context>
<context>
    <name>BackupLogWindow</name>
    <message>
        <source>Backup Log</source>
        <translation>Sicherungsprotokoll</translation>
    </message>
</context>
<context>
    <name>BackupNotifications</name>
    <message>
        <source>The backup volume</source>
        <translation>Das Sicherungsmedium</translation>
    </message>
    <message>
        <source>Automatic backup started</source>
        <translation>Automatische Sicherung gestartet</translation>
    </message>
    <message>
        <source>Backing up to %1.</source>
        <translation>Sicherung auf %1.</translation>
    </message>
    <message>
        <source>Could not eject %1</source>
        <translation>%1 konnte nicht ausgeworfen werden</translation>
    </message>
    <message>
        <source>the volume</source>
        <translation>das Medium</translation>
    </message>
    <message>
        <source>Nothing needed backing up.</source>
        <translation>Es musste nichts gesichert werden.</translation>
    </message>
    <message>
        <source>1 item</source>
        <translation>1 Objekt</translation>
    </message>
    <message>
        <source>%1 items</source>
        <translation>%1 Objekte</translation>
    </message>
    <message>
        <source>%1 backed up, %2.</source>
        <translation>%1 gesichert, %2.</translation>
    </message>
    <message>
        <source>1 error.</source>
        <translation>1 Fehler.</translation>
    </message>
    <message>
        <source>%1 errors.</source>
        <translation>%1 Fehler.</translation>
    </message>
    <message>
        <source>%1 was ejected and can now be removed safely.</source>
        <translation>%1 wurde ausgeworfen und kann jetzt sicher entfernt werden.</translation>
    </message>
    <message>
        <source>%1 could not be ejected: %2</source>
        <translation>%1 konnte nicht ausgeworfen werden: %2</translation>
    </message>
    <message>
        <source>Show Log</source>
        <translation>Protokoll anzeigen</translation>
    </message>
    <message>
        <source>Backup ended</source>
        <translation>Sicherung beendet</translation>
    </message>
    <message>
        <source>Nothing was backed up.</source>
        <translation>Es wurde nichts gesichert.</translation>
    </message>
</context>
<context>
    <name>BackupReminder</name>
    <message>
        <source>Time for a backup</source>
        <translation>Zeit für eine Sicherung</translation>
    </message>
    <message>
        <source>Your last backup to &quot;%1&quot; was %2 days ago. Connect it to back up your files.</source>
        <translation>Ihre letzte Sicherung auf „%1“ ist %2 Tage her. Schließen Sie das Medium an, um Ihre Dateien zu sichern.</translation>
    </message>
    <message>
        <source>Vellory 2 now starts at login to remind you when a backup is due; you can turn this off in Settings.</source>
        <translation>Vellory 2 startet jetzt bei der Anmeldung, um Sie an fällige Sicherungen zu erinnern; Sie können das in den Einstellungen ausschalten.</translation>
    </message>
</context>
<context>
    <name>BackupsWindow</name>
    <message>
        <source>Backups</source>
        <translation>Sicherungen</translation>
    </message>
</context>
<context>
    <name>CellView</name>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Open Containing Folder</source>
        <translation>Enthaltenden Ordner öffnen</translation>
    </message>
</context>
<context>
    <name>EngineText</name>
    <message>
        <source>Backing up to &quot;%1&quot;</source>
        <translation>Sicherung auf „%1“</translation>
    </message>
    <message>
        <source>Backing up to Demo volume</source>
        <translation>Sicherung auf Demo-Medium</translation>
    </message>
    <message>
        <source>Backup Process finished</source>
        <translation>Sicherungsvorgang abgeschlossen</translation>
    </message>
    <message>
        <source>Backup Initialized</source>
        <translation>Sicherung vorbereitet</translation>
    </message>
    <message>
        <source>Scanning %1...</source>
        <translation>%1 wird durchsucht …</translation>
    </message>
    <message>
        <source>Backing up &quot;%1&quot;...</source>
        <translation>„%1“ wird gesichert …</translation>
    </message>
    <message>
        <source>Items checked %1, %2 to copy, requires %3</source>
        <translation>%1 Objekte geprüft, %2 zu kopieren, benötigt %3</translation>
    </message>
    <message>
        <source>Items backed up %1, %2. Errors %3</source>
        <translation>%1 Objekte gesichert, %2. Fehler: %3</translation>
    </message>
    <message>
        <source>Volume not connected</source>
        <translation>Medium nicht angeschlossen</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>No volume selected</source>
        <translation>Kein Medium ausgewählt</translation>
    </message>
    <message>
        <source>Not connected</source>
        <translation>Nicht angeschlossen</translation>
    </message>
    <message>
        <source>%1 Capacity</source>
        <translation>%1 Kapazität</translation>
    </message>
    <message>
        <source>%1 Available</source>
        <translation>%1 verfügbar</translation>
    </message>
    <message>
        <source>Zero KB</source>
        <translation>Null KB</translation>
    </message>
    <message>
        <source>1 byte</source>
        <translation>1 Byte</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 Bytes</translation>
    </message>
    <message>
        <source>Untitled</source>
        <translation>Unbenannt</translation>
    </message>
    <message>
        <source>Unknown name</source>
        <translation>Unbekannter Name</translation>
    </message>
    <message>
        <source>The item is not a volume. Please try again with a volume.</source>
        <translation>Das Objekt ist kein Medium. Bitte versuchen Sie es mit einem Medium erneut.</translation>
    </message>
    <message>
        <source>The volume is not browsable, it can&apos;t be seen from the Finder. Please select a different volume.</source>
        <translation>Das Medium ist nicht durchsuchbar, es ist im Dateimanager nicht zu sehen. Bitte wählen Sie ein anderes Medium.</translation>
    </message>
    <message>
        <source>The volume is not browsable, it can&apos;t be seen from the file manager. Please select a different volume.</source>
        <translation>Das Medium ist nicht durchsuchbar, es ist im Dateimanager nicht zu sehen. Bitte wählen Sie ein anderes Medium.</translation>
    </message>
    <message>
        <source>You don&apos;t have permission to read from the volume. Please select a different volume.</source>
        <translation>Sie haben keine Berechtigung, von diesem Medium zu lesen. Bitte wählen Sie ein anderes Medium.</translation>
    </message>
    <message>
        <source>You don&apos;t have permission to write to the volume. Either unlock this volume or select a different volume.</source>
        <translation>Sie haben keine Berechtigung, auf dieses Medium zu schreiben. Entsperren Sie das Medium oder wählen Sie ein anderes.</translation>
    </message>
    <message>
        <source>Unable to obtain the volume&apos;s identifier. Please select a different volume.</source>
        <translation>Die Kennung des Mediums konnte nicht ermittelt werden. Bitte wählen Sie ein anderes Medium.</translation>
    </message>
    <message>
        <source>The item &quot;%1&quot; is not on this computer&apos;s file system.</source>
        <translation>Das Objekt „%1“ liegt nicht im Dateisystem dieses Computers.</translation>
    </message>
    <message>
        <source>%1 KB</source>
        <translation>%1 KB</translation>
    </message>
    <message>
        <source>%1 MB</source>
        <translation>%1 MB</translation>
    </message>
    <message>
        <source>%1 GB</source>
        <translation>%1 GB</translation>
    </message>
    <message>
        <source>%1 TB</source>
        <translation>%1 TB</translation>
    </message>
    <message>
        <source>%1 PB</source>
        <translation>%1 PB</translation>
    </message>
    <message>
        <source>%1 EB</source>
        <translation>%1 EB</translation>
    </message>
    <message>
        <source>Preparing...</source>
        <translation>Wird vorbereitet …</translation>
    </message>
    <message>
        <source>The backup was cancelled before it finished.</source>
        <translation>Die Sicherung wurde abgebrochen, bevor sie fertig war.</translation>
    </message>
    <message>
        <source>The volume &quot;%1&quot; is full: %2 items (%3) were not copied.</source>
        <translation>Das Medium „%1“ ist voll: %2 Objekte (%3) wurden nicht kopiert.</translation>
    </message>
    <message>
        <source>The volume &quot;%1&quot; stopped accepting writes: %2 items were not copied.</source>
        <translation>Das Medium „%1“ nimmt keine Schreibvorgänge mehr an: %2 Objekte wurden nicht kopiert.</translation>
    </message>
    <message>
        <source>The volume was not ejected: it stopped accepting writes.</source>
        <translation>Das Medium wurde nicht ausgeworfen: Es nimmt keine Schreibvorgänge mehr an.</translation>
    </message>
    <message>
        <source>Verifying &quot;%1&quot;</source>
        <translation>Überprüfung von „%1“</translation>
    </message>
    <message>
        <source>Verify Initialized on %1</source>
        <translation>Überprüfung vorbereitet auf %1</translation>
    </message>
    <message>
        <source>Verify Process finished</source>
        <translation>Überprüfung abgeschlossen</translation>
    </message>
    <message>
        <source>Verifying %1 copies.</source>
        <translation>%1 Kopien werden überprüft.</translation>
    </message>
    <message>
        <source>Verifying &quot;%1&quot;...</source>
        <translation>„%1“ wird überprüft …</translation>
    </message>
    <message>
        <source>Items checked %1, %2 to verify (%3), %4 due for backup</source>
        <translation>%1 Objekte geprüft, %2 zu überprüfen (%3), %4 zu sichern</translation>
    </message>
    <message>
        <source>Items verified %1, %2. Errors %3. Due for backup %4</source>
        <translation>%1 Objekte überprüft, %2. Fehler: %3. Zu sichern: %4</translation>
    </message>
    <message>
        <source>Recopying %1 copies that differ.</source>
        <translation>%1 abweichende Kopien werden neu kopiert.</translation>
    </message>
    <message>
        <source>Recopied %1 of %2 copies.</source>
        <translation>%1 von %2 Kopien neu kopiert.</translation>
    </message>
    <message>
        <source>The verify was cancelled before it finished.</source>
        <translation>Die Überprüfung wurde abgebrochen, bevor sie fertig war.</translation>
    </message>
    <message>
        <source>Restoring from &quot;%1&quot;</source>
        <translation>Wiederherstellung von „%1“</translation>
    </message>
    <message>
        <source>Restore Initialized from %1</source>
        <translation>Wiederherstellung vorbereitet von %1</translation>
    </message>
    <message>
        <source>Items checked %1, %2 to restore, requires %3</source>
        <translation>%1 Objekte geprüft, %2 wiederherzustellen, benötigt %3</translation>
    </message>
    <message>
        <source>Restoring %1 items.</source>
        <translation>%1 Objekte werden wiederhergestellt.</translation>
    </message>
    <message>
        <source>Items restored %1, %2. Errors %3</source>
        <translation>%1 Objekte wiederhergestellt, %2. Fehler: %3</translation>
    </message>
    <message>
        <source>Restore Process finished</source>
        <translation>Wiederherstellung abgeschlossen</translation>
    </message>
    <message>
        <source>Unable to use &quot;%1&quot;</source>
        <translation>„%1“ kann nicht verwendet werden</translation>
    </message>
    <message>
        <source>Unknown item</source>
        <translation>Unbekanntes Objekt</translation>
    </message>
    <message>
        <source>Unknown reason</source>
        <translation>Unbekannter Grund</translation>
    </message>
</context>
<context>
    <name>IconSizeControl</name>
    <message>
        <source>Icon Size</source>
        <translation>Symbolgröße</translation>
    </message>
    <message>
        <source>Large Icons</source>
        <translation>Große Symbole</translation>
    </message>
    <message>
        <source>Display large icons</source>
        <translation>Große Symbole anzeigen</translation>
    </message>
    <message>
        <source>Medium</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Display medium sized icons</source>
        <translation>Mittelgroße Symbole anzeigen</translation>
    </message>
    <message>
        <source>Small Icons</source>
        <translation>Kleine Symbole</translation>
    </message>
    <message>
        <source>Display small sized icons</source>
        <translation>Kleine Symbole anzeigen</translation>
    </message>
</context>
<context>
    <name>JobEnding</name>
    <message>
        <source>Result: %1</source>
        <translation>Ergebnis: %1</translation>
    </message>
</context>
<context>
    <name>KitAlert</name>
    <message>
        <source>Couldn&apos;t configure update system</source>
        <translation>Das Aktualisierungssystem konnte nicht eingerichtet werden</translation>
    </message>
    <message>
        <source>Unable to generate e-mail</source>
        <translation>E-Mail konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>Unable to create base URL.</source>
        <translation>Die Basisadresse konnte nicht erstellt werden.</translation>
    </message>
    <message>
        <source>Resulting URL is invalid.</source>
        <translation>Die entstandene Adresse ist ungültig.</translation>
    </message>
    <message>
        <source>Unable to obtain the CPU Type</source>
        <translation>Der Prozessortyp konnte nicht ermittelt werden</translation>
    </message>
    <message>
        <source>Unable to check for update</source>
        <translation>Suche nach Aktualisierungen nicht möglich</translation>
    </message>
    <message>
        <source>Version: %1</source>
        <translation>Version: %1</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Open Backup Folder</source>
        <translation>Sicherungsordner öffnen</translation>
    </message>
    <message>
        <source>Backup Now</source>
        <translation>Jetzt sichern</translation>
    </message>
    <message>
        <source>Settings...</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Contact Brindlewick for support or feedback...</source>
        <translation>Brindlewick für Hilfe oder Rückmeldungen kontaktieren …</translation>
    </message>
    <message>
        <source>Visit Brindlewick&apos;s Website...</source>
        <translation>Website von Brindlewick besuchen …</translation>
    </message>
    <message>
        <source>Stay Up To Date</source>
        <translation>Auf dem Laufenden bleiben</translation>
    </message>
    <message>
        <source>Share the Vellory 2 love...</source>
        <translation>Vellory 2 weiterempfehlen …</translation>
    </message>
    <message>
        <source>About Vellory 2</source>
        <translation>Über Vellory 2</translation>
    </message>
    <message>
        <source>Check for updates...</source>
        <translation>Nach Aktualisierungen suchen …</translation>
    </message>
    <message>
        <source>Share</source>
        <translation>Teilen</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Help us to spread the word</source>
        <translation>Helfen Sie uns, es weiterzusagen</translation>
    </message>
    <message>
        <source>Verify Backup</source>
        <translation>Sicherung überprüfen</translation>
    </message>
    <message>
        <source>Restore…</source>
        <translation>Wiederherstellen …</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
</context>
<context>
    <name>NIMBProgressWindow</name>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>%1 Updates</source>
        <translation>%1-Aktualisierungen</translation>
    </message>
    <message>
        <source>Checking for a &lt;b&gt;%1&lt;/b&gt; update...</source>
        <translation>Suche nach einer Aktualisierung für &lt;b&gt;%1&lt;/b&gt; …</translation>
    </message>
    <message>
        <source> Cancel </source>
        <translation> Abbrechen </translation>
    </message>
</context>
<context>
    <name>NIMBSettings</name>
    <message>
        <source>Check frequency</source>
        <translation>Häufigkeit der Suche</translation>
    </message>
    <message>
        <source>Next check</source>
        <translation>Nächste Suche</translation>
    </message>
    <message>
        <source>Not scheduled</source>
        <translation>Nicht geplant</translation>
    </message>
    <message>
        <source>Available update</source>
        <translation>Verfügbare Aktualisierung</translation>
    </message>
    <message>
        <source> Ignore </source>
        <translation> Ignorieren </translation>
    </message>
    <message>
        <source> Cancel </source>
        <translation> Abbrechen </translation>
    </message>
    <message>
        <source>Version Update Info missing</source>
        <translation>Version: Aktualisierungsangaben fehlen</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>No Display Version</source>
        <translation>Keine Versionsangabe</translation>
    </message>
    <message>
        <source>Ignoring version None</source>
        <translation>Ignorierte Version: keine</translation>
    </message>
    <message>
        <source>Ignoring version %1</source>
        <translation>Version %1 wird ignoriert</translation>
    </message>
    <message>
        <source>Ignore Info missing</source>
        <translation>Angaben zur ignorierten Version fehlen</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Every launch</source>
        <translation>Bei jedem Start</translation>
    </message>
    <message>
        <source>Daily</source>
        <translation>Täglich</translation>
    </message>
    <message>
        <source>Weekly</source>
        <translation>Wöchentlich</translation>
    </message>
    <message>
        <source>Monthly</source>
        <translation>Monatlich</translation>
    </message>
</context>
<context>
    <name>NIMBSettingsView</name>
    <message>
        <source>Updates</source>
        <translation>Aktualisierungen</translation>
    </message>
    <message>
        <source>Show debugging options</source>
        <translation>Fehlersuche-Optionen anzeigen</translation>
    </message>
    <message>
        <source>Debugging options</source>
        <translation>Optionen zur Fehlersuche</translation>
    </message>
    <message>
        <source>Show Debugging options</source>
        <translation>Optionen zur Fehlersuche anzeigen</translation>
    </message>
    <message>
        <source>Ignore maintenance</source>
        <translation>Wartung ignorieren</translation>
    </message>
    <message>
        <source>Test silent check</source>
        <translation>Stille Suche testen</translation>
    </message>
    <message>
        <source> Reset Settings </source>
        <translation> Einstellungen zurücksetzen </translation>
    </message>
    <message>
        <source> Check Now </source>
        <translation> Jetzt suchen </translation>
    </message>
</context>
<context>
    <name>QuitGuard</name>
    <message>
        <source>%1 backups are running. Stop them and quit?</source>
        <translation>Es laufen %1 Sicherungen. Anhalten und beenden?</translation>
    </message>
    <message>
        <source>A backup is running. Stop it and quit?</source>
        <translation>Eine Sicherung läuft. Anhalten und beenden?</translation>
    </message>
    <message>
        <source>A backup to &quot;%1&quot; is running. Stop it and quit?</source>
        <translation>Eine Sicherung auf „%1“ läuft. Anhalten und beenden?</translation>
    </message>
    <message>
        <source>Stop and Quit</source>
        <translation>Anhalten und beenden</translation>
    </message>
</context>
<context>
    <name>RestoreModel</name>
    <message>
        <source>The backup volume &quot;%1&quot; is not connected.</source>
        <translation>Das Sicherungsmedium „%1“ ist nicht angeschlossen.</translation>
    </message>
    <message>
        <source>No connected volume holds backups.</source>
        <translation>Kein angeschlossenes Medium enthält Sicherungen.</translation>
    </message>
    <message>
        <source>There are no backups on this volume.</source>
        <translation>Auf diesem Medium gibt es keine Sicherungen.</translation>
    </message>
    <message>
        <source>Nothing backed up here.</source>
        <translation>Hier wurde nichts gesichert.</translation>
    </message>
</context>
<context>
    <name>RestoreWindow</name>
    <message>
        <source>Restore</source>
        <translation>Wiederherstellen</translation>
    </message>
    <message>
        <source>Restore To</source>
        <translation>Wiederherstellen nach</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>Computer</source>
        <translation>Computer</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Up one folder</source>
        <translation>Einen Ordner nach oben</translation>
    </message>
    <message>
        <source>Backed-up items</source>
        <translation>Gesicherte Objekte</translation>
    </message>
    <message>
        <source>Open %1</source>
        <translation>%1 öffnen</translation>
    </message>
    <message>
        <source>Pick %1</source>
        <translation>%1 auswählen</translation>
    </message>
    <message>
        <source>%1 (link)</source>
        <translation>%1 (Verknüpfung)</translation>
    </message>
    <message>
        <source>Restore to</source>
        <translation>Wiederherstellen nach</translation>
    </message>
    <message>
        <source>The original location</source>
        <translation>Ursprünglicher Ort</translation>
    </message>
    <message>
        <source>This folder:</source>
        <translation>Dieser Ordner:</translation>
    </message>
    <message>
        <source>Restore to this folder</source>
        <translation>In diesen Ordner wiederherstellen</translation>
    </message>
    <message>
        <source>Folder to restore to</source>
        <translation>Zielordner der Wiederherstellung</translation>
    </message>
    <message>
        <source>Choose a folder</source>
        <translation>Ordner wählen</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation>Wählen …</translation>
    </message>
    <message>
        <source>Choose a folder to restore to</source>
        <translation>Einen Ordner für die Wiederherstellung wählen</translation>
    </message>
    <message>
        <source>When a local file differs</source>
        <translation>Wenn eine lokale Datei abweicht</translation>
    </message>
    <message>
        <source>Keep it and restore the backup&apos;s version beside it</source>
        <translation>Behalten und die gesicherte Version daneben wiederherstellen</translation>
    </message>
    <message>
        <source>Keep it and skip the backup&apos;s version</source>
        <translation>Behalten und die gesicherte Version überspringen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Restore the picked items</source>
        <translation>Die ausgewählten Objekte wiederherstellen</translation>
    </message>
</context>
<context>
    <name>SettingsWindow</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
</context>
<context>
    <name>SharePanel</name>
    <message>
        <source>Try %1 Today %2</source>
        <translation>Probier %1 noch heute aus: %2</translation>
    </message>
</context>
<context>
    <name>SharePanel2025</name>
    <message>
        <source>Help us to spread the word</source>
        <translation>Helfen Sie uns, es weiterzusagen</translation>
    </message>
    <message>
        <source>We need your help to get %1 into the hands of other people who could benefit from it. Please use the field and buttons below to share a short message on your favorite social media.</source>
        <translation>Wir brauchen Ihre Hilfe, damit %1 zu weiteren Menschen gelangt, denen es nützen kann. Teilen Sie mit dem Feld und den Knöpfen unten eine kurze Nachricht in Ihren liebsten sozialen Medien.</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source> Share via e-mail </source>
        <translation> Per E-Mail teilen </translation>
    </message>
    <message>
        <source> Share on Facebook </source>
        <translation> Auf Facebook teilen </translation>
    </message>
    <message>
        <source> Share on Threads </source>
        <translation> Auf Threads teilen </translation>
    </message>
    <message>
        <source> Share on X </source>
        <translation> Auf X teilen </translation>
    </message>
    <message>
        <source>Copy Message </source>
        <translation>Nachricht kopieren </translation>
    </message>
    <message>
        <source> Close </source>
        <translation> Schließen </translation>
    </message>
</context>
<context>
    <name>SleepWhileBackingUp</name>
    <message>
        <source>A backup is running</source>
        <translation>Eine Sicherung läuft</translation>
    </message>
</context>
<context>
    <name>SourcePathView</name>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Raverizavu</source>
        <translation>Raverizavu</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Hinzufügen …</translation>
    </message>
    <message>
        <source>Drag and drop files &amp; folders here to back them up, </source>
        <translation>Ziehen Sie Dateien und Ordner hierher, um sie zu sichern, </translation>
    </message>
    <message>
        <source>or click on the &quot;%1 Add...&quot; button above to select files or folders.</source>
        <translation>oder klicken Sie oben auf „%1 Hinzufügen …“, um Dateien oder Ordner auszuwählen.</translation>
    </message>
</context>
<context>
    <name>StartupSettingsView</name>
    <message>
        <source>Start at login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
    <message>
        <source>Runs in the background from login on, so that connecting the destination starts a backup while &quot;Auto Backup on Connect&quot; is on.</source>
        <translation>Läuft ab der Anmeldung im Hintergrund, damit das Anschließen des Ziels eine Sicherung startet, solange „Beim Anschließen sichern“ eingeschaltet ist.</translation>
    </message>
    <message>
        <source>Remind me after</source>
        <translation>Erinnern nach</translation>
    </message>
    <message>
        <source>1 week</source>
        <translation>1 Woche</translation>
    </message>
    <message>
        <source>2 weeks</source>
        <translation>2 Wochen</translation>
    </message>
    <message>
        <source>1 month</source>
        <translation>1 Monat</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Nie</translation>
    </message>
    <message>
        <source>When the last backup is older than this and the destination is not connected, a notification reminds you, at most once a day.</source>
        <translation>Ist die letzte Sicherung älter als diese Zeit und das Ziel nicht angeschlossen, erinnert Sie eine Benachrichtigung daran, höchstens einmal am Tag.</translation>
    </message>
</context>
<context>
    <name>StatusIcon</name>
    <message>
        <source>Open Vellory 2</source>
        <translation>Vellory 2 öffnen</translation>
    </message>
    <message>
        <source>Backup Now</source>
        <translation>Jetzt sichern</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>ThreadView</name>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source> Cancel </source>
        <translation> Abbrechen </translation>
    </message>
    <message>
        <source> Close </source>
        <translation> Schließen </translation>
    </message>
</context>
<context>
    <name>ThreadsListView</name>
    <message>
        <source>Backups</source>
        <translation>Sicherungen</translation>
    </message>
</context>
<context>
    <name>VolumeView</name>
    <message>
        <source>Last Backup: %1</source>
        <translation>Letzte Sicherung: %1</translation>
    </message>
    <message>
        <source>Select</source>
        <translation>Auswählen</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
    <message>
        <source> Select... </source>
        <translation> Auswählen … </translation>
    </message>
    <message>
        <source>Eject</source>
        <translation>Auswerfen</translation>
    </message>
    <message>
        <source>Drag and drop a volume here, </source>
        <translation>Ziehen Sie ein Medium hierher </translation>
    </message>
    <message>
        <source>or click &quot;Select...&quot; to choose a destination volume</source>
        <translation>oder klicken Sie auf „Auswählen …“, um ein Zielmedium zu wählen</translation>
    </message>
    <message>
        <source>%1% used</source>
        <translation>%1 % belegt</translation>
    </message>
    <message>
        <source>Auto Backup on Connect</source>
        <translation>Beim Anschließen sichern</translation>
    </message>
    <message>
        <source>Auto Eject on Completion</source>
        <translation>Nach Abschluss auswerfen</translation>
    </message>
    <message>
        <source> Backup Now </source>
        <translation> Jetzt sichern </translation>
    </message>
    <message>
        <source>Remove Volume</source>
        <translation>Medium entfernen</translation>
    </message>
</context>
<context>
    <name>jobending</name>
    <message>
        <source>Completed with 1 error</source>
        <translation>Abgeschlossen mit 1 Fehler</translation>
    </message>
    <message>
        <source>Completed with %1 errors</source>
        <translation>Abgeschlossen mit %1 Fehlern</translation>
    </message>
    <message>
        <source>Completed</source>
        <translation>Abgeschlossen</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Stopped: the volume is full</source>
        <translation>Angehalten: Das Medium ist voll</translation>
    </message>
    <message>
        <source>Stopped: the volume is gone</source>
        <translation>Angehalten: Das Medium ist nicht mehr verfügbar</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Backup completed</source>
        <translation>Sicherung abgeschlossen</translation>
    </message>
    <message>
        <source>Backup completed with 1 error</source>
        <translation>Sicherung mit 1 Fehler abgeschlossen</translation>
    </message>
    <message>
        <source>Backup completed with %1 errors</source>
        <translation>Sicherung mit %1 Fehlern abgeschlossen</translation>
    </message>
    <message>
        <source>Backup cancelled</source>
        <translation>Sicherung abgebrochen</translation>
    </message>
    <message>
        <source>Backup stopped: the volume is full</source>
        <translation>Sicherung angehalten: Das Medium ist voll</translation>
    </message>
    <message>
        <source>Backup stopped: the volume is gone</source>
        <translation>Sicherung angehalten: Das Medium ist nicht mehr verfügbar</translation>
    </message>
    <message>
        <source>Backup stopped</source>
        <translation>Sicherung angehalten</translation>
    </message>
</context>
</TS>
