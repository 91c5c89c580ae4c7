<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de">
<context>
    <name>Download</name>
    <message>
        <source>Zeitüberschreitung: %1 ms ohne Daten</source>
        <translation>Timed out: %1 ms without data</translation>
    </message>
    <message>
        <source>Zeitüberschreitung: Download dauert zu lange</source>
        <translation>Timed out: the download takes too long</translation>
    </message>
    <message>
        <source>abgebrochen</source>
        <translation>cancelled</translation>
    </message>
    <message>
        <source>Datei zu groß (%1 Bytes)</source>
        <translation>File too large (%1 bytes)</translation>
    </message>
    <message>
        <source>zu viele Weiterleitungen</source>
        <translation>too many redirects</translation>
    </message>
    <message>
        <source>Weiterleitung abgelehnt: %1 -&gt; %2</source>
        <translation>Redirect refused: %1 -&gt; %2</translation>
    </message>
    <message>
        <source>Datei zu groß (mehr als %1 Bytes)</source>
        <translation>File too large (more than %1 bytes)</translation>
    </message>
    <message>
        <source>Schreibfehler: %1</source>
        <translation>Write error: %1</translation>
    </message>
    <message>
        <source>Server antwortet %1 %2</source>
        <translation>Server answers %1 %2</translation>
    </message>
    <message>
        <source>unerwartete Antwort %1</source>
        <translation>unexpected answer %1</translation>
    </message>
    <message>
        <source>unvollständig: %1 von %2 Bytes</source>
        <translation>incomplete: %1 of %2 bytes</translation>
    </message>
    <message>
        <source>%1 kB geladen</source>
        <translation>%1 kB downloaded</translation>
    </message>
    <message>
        <source>ungültige Adresse: %1</source>
        <translation>invalid address: %1</translation>
    </message>
    <message>
        <source>kein Dateiname in %1</source>
        <translation>no file name in %1</translation>
    </message>
    <message>
        <source>kein Ziel angegeben</source>
        <translation>no destination given</translation>
    </message>
    <message>
        <source>Ziel ist ein Ordner: %1</source>
        <translation>destination is a folder: %1</translation>
    </message>
    <message>
        <source>Ziel existiert schon: %1</source>
        <translation>destination exists already: %1</translation>
    </message>
    <message>
        <source>keine Signatur: %1</source>
        <translation>no signature: %1</translation>
    </message>
    <message>
        <source>Signatur ungültig: %1 stammt nicht vom Hersteller</source>
        <translation>invalid signature: %1 does not come from the maker</translation>
    </message>
    <message>
        <source>kann nicht umbenannt werden: %1</source>
        <translation>cannot be renamed: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Startet die FilmListe in VLC (TIP: VLC nur in einer Instanz erlauben (in den VLC Optionen)</source>
        <translation>Starts the play list in VLC (TIP: allow only one instance of VLC (in the VLC preferences)</translation>
    </message>
    <message>
        <source>Files oder Playlisten auf dieses Feld ziehen (Drag&amp;Drop)</source>
        <translation>Drag files or play lists onto this field (drag and drop)</translation>
    </message>
    <message>
        <source>VLC - Pfad setzten </source>
        <translation>Set the VLC path </translation>
    </message>
    <message>
        <source>nach unten verschieben</source>
        <translation>move down</translation>
    </message>
    <message>
        <source>nach oben verschieben</source>
        <translation>move up</translation>
    </message>
    <message>
        <source>Diese Playliste beim nächsten Start wieder anzeigen..</source>
        <translation>Show this play list again at the next start..</translation>
    </message>
    <message>
        <source>Beim Programmstart minimieren</source>
        <translation>Minimise when VLC is started</translation>
    </message>
    <message>
        <source>Starten ...        </source>
        <translation>Start ...        </translation>
    </message>
    <message>
        <source>Abspielen</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Senden</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Empfänger:</source>
        <translation>Receiver:</translation>
    </message>
    <message>
        <source>Senden an (1 Client)</source>
        <translation>Send to (1 client)</translation>
    </message>
    <message>
        <source>Bereitstellen ( Clients &gt; 1)</source>
        <translation>Provide ( clients &gt; 1)</translation>
    </message>
    <message>
        <source>Empfangen</source>
        <translation>Receive</translation>
    </message>
    <message>
        <source>Sender:</source>
        <translation>Sender:</translation>
    </message>
    <message>
        <source>empfangen (1 Client)</source>
        <translation>receive (1 client)</translation>
    </message>
    <message>
        <source>Abholen von (Clients &gt; 1)</source>
        <translation>Fetch from (clients &gt; 1)</translation>
    </message>
    <message>
        <source>Vlc </source>
        <translation>Vlc </translation>
    </message>
    <message>
        <source>Download VLC</source>
        <translation>Download VLC</translation>
    </message>
    <message>
        <source>Verbindung:</source>
        <translation>Connection:</translation>
    </message>
    <message>
        <source>Speichern als..</source>
        <translation>Save as..</translation>
    </message>
    <message>
        <source>Liste leeren</source>
        <translation>Clear list</translation>
    </message>
    <message>
        <source>Playlist speichern</source>
        <translation>Keep play list</translation>
    </message>
    <message>
        <source>bei Start minimieren</source>
        <translation>minimise on start</translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>00:00:00 Uhr</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>&lt; Vlc</source>
        <translation>&lt; Vlc</translation>
    </message>
    <message>
        <source>Vlc &gt;</source>
        <translation>Vlc &gt;</translation>
    </message>
    <message>
        <source>Kein Texteditor gefunden, um die Playlist zu öffnen:</source>
        <translation>No text editor found to open the play list:</translation>
    </message>
    <message>
        <source>Texteditor</source>
        <translation>Text editor</translation>
    </message>
    <message>
        <source>Starte Server &gt;&gt;</source>
        <translation>Start server &gt;&gt;</translation>
    </message>
    <message>
        <source>möchte die Liste</source>
        <translation>wants the list</translation>
    </message>
    <message>
        <source>Empfänger, die zugelassen oder abgelehnt wurden, werden wieder gefragt</source>
        <translation>Receivers that were allowed or denied are asked again</translation>
    </message>
    <message>
        <source>Zulassen</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>Ablehnen</source>
        <translation>Deny</translation>
    </message>
    <message>
        <source>Antworten vergessen</source>
        <translation>Forget answers</translation>
    </message>
    <message>
        <source>Zurück</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Vor</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Weiter</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>VLC antwortete nicht und wurde neu gestartet</source>
        <translation>VLC did not answer and was started again</translation>
    </message>
    <message>
        <source> (Browser)</source>
        <translation> (browser)</translation>
    </message>
    <message>
        <source>Web-Fernbedienung: Port %1 belegt</source>
        <translation>Web remote: port %1 in use</translation>
    </message>
    <message>
        <source>Fernbedienung im Browser:</source>
        <translation>Remote in a browser:</translation>
    </message>
</context>
<context>
    <name>Mirovell</name>
    <message>
        <source> (hier nicht möglich: das Fenstersystem lässt kein Programm sein Fenster über den anderen halten)</source>
        <translation> (not possible here: the window system lets no program keep its window above the others)</translation>
    </message>
    <message>
        <source>Always on top</source>
        <translation>Always on top</translation>
    </message>
    <message>
        <source>Abspielen</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Senden</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>Empfangen</source>
        <translation>Receive</translation>
    </message>
    <message>
        <source>Ende</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>&amp;Ja</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>&amp;Nein</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source> von </source>
        <translation> of </translation>
    </message>
    <message>
        <source>Lade %1 herunter ...</source>
        <translation>Downloading %1 ...</translation>
    </message>
    <message>
        <source>Alle Dateien|*.*</source>
        <translation>All files|*.*</translation>
    </message>
    <message>
        <source>Enthält ungültige Zeichen Abbrechen?</source>
        <translation> contains invalid characters. Cancel?</translation>
    </message>
    <message>
        <source>VLC.EXE suchen</source>
        <translation>Find VLC</translation>
    </message>
    <message>
        <source>VLC.exe konnte in diesem Pfad nicht gefunden werden: </source>
        <translation>VLC could not be found at this path: </translation>
    </message>
    <message>
        <source>Bitte den Pfad auswählen</source>
        <translation>Please choose the path</translation>
    </message>
    <message>
        <source>VLC.exe nicht gefunden</source>
        <translation>VLC not found</translation>
    </message>
    <message>
        <source>VLC.EXE wurde nicht gefunden</source>
        <translation>VLC was not found</translation>
    </message>
    <message>
        <source>Dateien: </source>
        <translation>Files: </translation>
    </message>
    <message>
        <source>Zielpfad eingeben (incl.: &apos; .m3u &apos; )!</source>
        <translation>Enter the target path (incl.: &apos; .m3u &apos; )!</translation>
    </message>
    <message>
        <source>Zielpfad eingeben</source>
        <translation>Enter the target path</translation>
    </message>
    <message>
        <source>Keine Titel in der Liste</source>
        <translation>No titles in the list</translation>
    </message>
    <message>
        <source>Keie Titel</source>
        <translation>No titles</translation>
    </message>
    <message>
        <source>Die Playlist konnte nicht gespeichert werden:</source>
        <translation>The play list could not be saved:</translation>
    </message>
    <message>
        <source>Speichern fehlgeschlagen</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>Diese Installation wird über die Paketverwaltung des Systems aktualisiert.</source>
        <translation>This installation is updated through the system&apos;s package management.</translation>
    </message>
    <message>
        <source>Dies ist Version </source>
        <translation>This is version </translation>
    </message>
    <message>
        <source>Programmupdate</source>
        <translation>Program update</translation>
    </message>
    <message>
        <source>Mirovell auf Update überprüfen?</source>
        <translation>Check Mirovell for an update?</translation>
    </message>
    <message>
        <source>Dies ist Version:  </source>
        <translation>This is version:  </translation>
    </message>
    <message>
        <source>Auf Programmupdate überprüfen?</source>
        <translation>Check for a program update?</translation>
    </message>
    <message>
        <source> (19 kb) wird für das Update benötigt!</source>
        <translation> (19 kb) is needed for the update!</translation>
    </message>
    <message>
        <source>Soll es jetzt heruntergeladen werden?</source>
        <translation>Download it now?</translation>
    </message>
    <message>
        <source>Zielpfad:</source>
        <translation>Target path:</translation>
    </message>
    <message>
        <source>Updater downloaden?</source>
        <translation>Download the updater?</translation>
    </message>
    <message>
        <source>Download Fehlgeschlagen / Download failed</source>
        <translation>Download failed</translation>
    </message>
    <message>
        <source>Empfänger</source>
        <translation>Receiver</translation>
    </message>
    <message>
        <source>Sender</source>
        <translation>Sender</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>Play list</translation>
    </message>
    <message>
        <source>Playlist des Senders</source>
        <translation>Sender&apos;s play list</translation>
    </message>
    <message>
        <source>VLC-Pfad</source>
        <translation>VLC path</translation>
    </message>
    <message>
        <source>VLC suchen</source>
        <translation>Find VLC</translation>
    </message>
    <message>
        <source>Der Updater ließ sich nicht starten.</source>
        <translation>The updater could not be started.</translation>
    </message>
    <message>
        <source>Der Updater trägt keine gültige Signatur des Herstellers und wurde entfernt.</source>
        <translation>The updater does not bear a valid signature of the maker and was removed.</translation>
    </message>
    <message>
        <source>Die Datei trägt keine gültige Signatur des Herstellers und wurde verworfen. Das Programm bleibt unverändert.</source>
        <translation>The file does not bear a valid signature of the maker and was discarded. The program stays unchanged.</translation>
    </message>
    <message>
        <source>Der Server leitete an eine andere, nicht erlaubte Adresse weiter.</source>
        <translation>The server redirected to another address, which is not allowed.</translation>
    </message>
    <message>
        <source>Der Updater trägt keine gültige Signatur des Herstellers und wird nicht gestartet. Er ließ sich nicht entfernen.</source>
        <translation>The updater does not bear a valid signature of the maker and is not started. It could not be removed.</translation>
    </message>
    <message>
        <source>läuft gerade</source>
        <translation>playing now</translation>
    </message>
</context>
<context>
    <name>ReceivingEnd</name>
    <message>
        <source>Sender:</source>
        <translation>Sender:</translation>
    </message>
    <message>
        <source>Warte auf Server..</source>
        <translation>Waiting for the sender..</translation>
    </message>
    <message>
        <source>Client connected to Server </source>
        <translation>Client connected to Server </translation>
    </message>
    <message>
        <source>nicht gefunden</source>
        <translation>not found</translation>
    </message>
    <message>
        <source>Warte auf Playlist ...</source>
        <translation>Waiting for the play list ...</translation>
    </message>
    <message>
        <source>Client verbunden</source>
        <translation>Client connected</translation>
    </message>
    <message>
        <source>Verbunden</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>Verbindung Abgebrochen</source>
        <translation>Connection lost</translation>
    </message>
    <message>
        <source>Verbunden..</source>
        <translation>Connected..</translation>
    </message>
</context>
<context>
    <name>SendingEnd</name>
    <message>
        <source>Warte auf Remote..</source>
        <translation>Waiting for the receiver..</translation>
    </message>
    <message>
        <source>Suche Client..</source>
        <translation>Looking for the receiver..</translation>
    </message>
    <message>
        <source>Closed</source>
        <translation>Closed</translation>
    </message>
    <message>
        <source>Client (Remote) verbunden..</source>
        <translation>Client (remote) connected..</translation>
    </message>
    <message>
        <source>Verbindung hergestellt</source>
        <translation>Connection established</translation>
    </message>
    <message>
        <source>Verbindung Abgebrochen</source>
        <translation>Connection lost</translation>
    </message>
    <message>
        <source>Playing:</source>
        <translation>Playing:</translation>
    </message>
    <message>
        <source>Client gefunden</source>
        <translation>Client found</translation>
    </message>
</context>
<context>
    <name>Updater</name>
    <message>
        <source>Die Programmdatei %1 wurde nicht gefunden. Es wurde nichts geändert.</source>
        <translation>The program file %1 was not found. Nothing was changed.</translation>
    </message>
    <message>
        <source>Für %1 läuft bereits ein Update.</source>
        <translation>An update of %1 is already running.</translation>
    </message>
    <message>
        <source>Mirovell läuft noch (%1). Bitte das Programm beenden und das Update erneut starten. Es wurde nichts geändert.</source>
        <translation>Mirovell is still running (%1). Please end the program and start the update again. Nothing was changed.</translation>
    </message>
    <message>
        <source>Die Adresse %1 wird nicht verwendet: nur HTTPS ist erlaubt. Es wurde nichts geändert.</source>
        <translation>The address %1 is not used: only HTTPS is allowed. Nothing was changed.</translation>
    </message>
    <message>
        <source>Die Programmdatei %1 ist nicht beschreibbar (keine Schreibrechte für Datei oder Ordner). Es wurde nichts geändert. Bitte das Update mit den nötigen Rechten ausführen oder über die Paketverwaltung aktualisieren.</source>
        <translation>The program file %1 is not writable (no write permission for the file or its folder). Nothing was changed. Please run the update with the necessary permissions or update through the package management.</translation>
    </message>
    <message>
        <source>Die Signatur %1.sig konnte nicht geladen werden (%2). Das alte Programm bleibt erhalten.</source>
        <translation>The signature %1.sig could not be downloaded (%2). The old program is kept.</translation>
    </message>
    <message>
        <source>Download Fehlgeschlagen / Download failed: %1 (%2). Das alte Programm bleibt erhalten.</source>
        <translation>Download failed: %1 (%2). The old program is kept.</translation>
    </message>
    <message>
        <source>Die geladene Datei %1 trägt keine gültige Signatur des Herstellers und wurde entfernt. Das alte Programm bleibt erhalten.</source>
        <translation>The downloaded file %1 does not bear a valid signature of the maker and was removed. The old program is kept.</translation>
    </message>
    <message>
        <source>Mirovell ist bereits auf dem neuesten Stand.</source>
        <translation>Mirovell is already up to date.</translation>
    </message>
    <message>
        <source>Die Programmdatei %1 konnte nicht ersetzt werden. Das alte Programm bleibt erhalten.</source>
        <translation>The program file %1 could not be replaced. The old program is kept.</translation>
    </message>
    <message>
        <source>Mirovell wurde aktualisiert und neu gestartet.</source>
        <translation>Mirovell was updated and started again.</translation>
    </message>
    <message>
        <source>Die neue Version ließ sich nicht starten; die alte wurde wiederhergestellt.</source>
        <translation>The new version could not be started; the old one was restored.</translation>
    </message>
    <message>
        <source>Die neue Version ließ sich nicht starten.</source>
        <translation>The new version could not be started.</translation>
    </message>
    <message>
        <source>Aufruf: mirovell-updater [URL]&lt;Adresse der neuen Version&gt; [PATH]&lt;Programmdatei&gt; [[PID]&lt;Prozess&gt;]</source>
        <translation>Usage: mirovell-updater [URL]&lt;address of the new version&gt; [PATH]&lt;program file&gt; [[PID]&lt;process&gt;]</translation>
    </message>
    <message>
        <source>Mirovell-Update: ohne Sperre gegen ein zweites Update (%1)</source>
        <translation>Mirovell update: going on without a lock against a second update (%1)</translation>
    </message>
    <message>
        <source>%1 kann nicht angelegt werden</source>
        <translation>%1 cannot be created</translation>
    </message>
</context>
</TS>
