<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name></name>
    <message id="LABEL_NO_NEED_UPDATE">
        <source>no need update</source>
        <translation>keine Aktualisierung nötig</translation>
    </message>
    <message id="DRIVE_IN_UPDATE_MODE">
        <source>in update mode: update to recover</source>
        <translation>im Aktualisierungsmodus: zum Wiederherstellen aktualisieren</translation>
    </message>
    <message id="REASON_UP_TO_DATE">
        <source>its firmware is up to date</source>
        <translation>die Firmware ist aktuell</translation>
    </message>
    <message id="REASON_OTHER_HARDWARE">
        <source>the firmware is for other hardware</source>
        <translation>die Firmware ist für andere Hardware</translation>
    </message>
    <message id="REASON_OTHER_DESTINATION">
        <source>the firmware is for another destination</source>
        <translation>die Firmware ist für ein anderes Zielgebiet</translation>
    </message>
    <message id="REASON_VERSIONS_UNKNOWN">
        <source>the drive did not report its versions</source>
        <translation>das Laufwerk hat seine Versionen nicht gemeldet</translation>
    </message>
    <message id="REASON_IMAGE_DAMAGED">
        <source>the shipped firmware image is missing or damaged</source>
        <translation>das mitgelieferte Firmware-Abbild fehlt oder ist beschädigt</translation>
    </message>
    <message id="REASON_HARDWARE_VERSION_UNKNOWN">
        <source>the drive did not report its hardware version</source>
        <translation>das Laufwerk hat seine Hardwareversion nicht gemeldet</translation>
    </message>
    <message id="REASON_DESTINATION_UNKNOWN">
        <source>the drive did not report its destination version</source>
        <translation>das Laufwerk hat seine Zielversion nicht gemeldet</translation>
    </message>
    <message id="REASON_REVISION_UNKNOWN">
        <source>the drive did not report its firmware revision</source>
        <translation>das Laufwerk hat seine Firmware-Revision nicht gemeldet</translation>
    </message>
    <message id="REASON_IN_USE">
        <source>in use by another program</source>
        <translation>von einem anderen Programm belegt</translation>
    </message>
    <message id="REASON_ACCESS_REFUSED">
        <source>access to the drive was refused</source>
        <translation>der Zugriff auf das Laufwerk wurde verweigert</translation>
    </message>
    <message id="REASON_UNREADABLE">
        <source>the drive could not be examined</source>
        <translation>das Laufwerk konnte nicht abgefragt werden</translation>
    </message>
    <message id="DRIVE_ENTRY_NOT_EXAMINED">
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message id="DRIVE_ID">
        <source>id %1</source>
        <translation>Kennung %1</translation>
    </message>
    <message id="DRIVE_SERIAL">
        <source>serial %1</source>
        <translation>Seriennummer %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_NODES">
        <source>Device: %1</source>
        <translation>Gerät: %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_ID">
        <source>Identity: %1</source>
        <translation>Kennung: %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_SERIAL">
        <source>Serial number: %1</source>
        <translation>Seriennummer: %1</translation>
    </message>
    <message id="TOOLTIP_MAY_UPDATE">
        <source>May be updated</source>
        <translation>Kann aktualisiert werden</translation>
    </message>
    <message id="MESSAGE_DISC_MOUNTED">
        <source>Disc may be mounted. Please confirm eject the disk!</source>
        <translation>Möglicherweise ist ein Datenträger eingebunden. Bitte werfen Sie ihn aus!</translation>
    </message>
    <message id="MESSAGE_NO_DRIVE_UPDATED">
        <source>No drive that can be updated was found. The application will quit.</source>
        <translation>Es wurde kein Laufwerk gefunden, das aktualisiert werden kann. Das Programm wird beendet.</translation>
    </message>
    <message id="LABEL_TARGET_DRIVE">
        <source>Target Drive</source>
        <translation>Ziellaufwerk</translation>
    </message>
    <message id="LABEL_WILL_UPDATE_TO">
        <source>will update to</source>
        <translation>wird aktualisiert auf</translation>
    </message>
    <message id="BUTTON_UPDATE">
        <source>&amp;Update</source>
        <translation>&amp;Aktualisieren</translation>
    </message>
    <message id="MESSAGE_CLOSE_REFUSED">
        <source>The drive is being updated. Closing now could leave it unusable.</source>
        <translation>Das Laufwerk wird gerade aktualisiert. Wenn Sie jetzt schließen, kann es unbrauchbar werden.</translation>
    </message>
    <message id="MENU_FILE">
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message id="MENU_QUIT">
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message id="MENU_HELP">
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message id="MENU_ABOUT">
        <source>&amp;About %1</source>
        <translation>Ü&amp;ber %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_LIST">
        <source>The drives of the model this program updates</source>
        <translation>Die Laufwerke des Modells, das dieses Programm aktualisiert</translation>
    </message>
    <message id="TOOLTIP_UPDATE_BUTTON">
        <source>Writes the shipped firmware into the chosen drive</source>
        <translation>Schreibt die mitgelieferte Firmware in das gewählte Laufwerk</translation>
    </message>
    <message id="STATUS_LOOKING_FOR_DRIVES">
        <source>Looking for drives…</source>
        <translation>Laufwerke werden gesucht…</translation>
    </message>
    <message id="STATUS_PREPARING">
        <source>Preparing the update</source>
        <translation>Aktualisierung wird vorbereitet</translation>
    </message>
    <message id="STATUS_TO_UPDATE_MODE">
        <source>Switching the drive to update mode</source>
        <translation>Laufwerk wird in den Aktualisierungsmodus geschaltet</translation>
    </message>
    <message id="STATUS_WRITING_LOADER">
        <source>Writing the update loader</source>
        <translation>Aktualisierungslader wird geschrieben</translation>
    </message>
    <message id="STATUS_WRITING_FIRMWARE">
        <source>Writing firmware: %1 of %2 KiB</source>
        <translation>Firmware wird geschrieben: %1 von %2 KiB</translation>
    </message>
    <message id="STATUS_STARTING_INSTALL">
        <source>Starting the install</source>
        <translation>Installation wird gestartet</translation>
    </message>
    <message id="STATUS_CHECKING">
        <source>Checking the new firmware</source>
        <translation>Neue Firmware wird geprüft</translation>
    </message>
    <message id="STATUS_INSTALLING_LEFT">
        <source>Installing: %1 % (about %2 s left)</source>
        <translation>Installation: %1 % (noch etwa %2 s)</translation>
    </message>
    <message id="STATUS_AWAITING_RETURN">
        <source>Waiting for the drive to come back</source>
        <translation>Warten, bis das Laufwerk wieder da ist</translation>
    </message>
    <message id="STEP_AWAIT_RETURN">
        <source>waiting for the drive to come back</source>
        <translation>beim Warten, bis das Laufwerk wieder da ist</translation>
    </message>
    <message id="CAUSE_NO_READY_ANSWER">
        <source>the drive did not report ready within %1 s</source>
        <translation>das Laufwerk hat sich nicht innerhalb von %1 s bereit gemeldet</translation>
    </message>
    <message id="CAUSE_INSTALL_FAULT">
        <source>the drive kept answering "%1" while installing</source>
        <translation>das Laufwerk antwortete während der Installation anhaltend „%1“</translation>
    </message>
    <message id="CAUSE_WENT_AWAY">
        <source>the drive went away while installing: reconnect it and run `kdu list`</source>
        <translation>das Laufwerk ist während der Installation verschwunden: Schließen Sie es wieder an und führen Sie `kdu list` aus</translation>
    </message>
    <message id="REASON_INSTALLING">
        <source>the drive is installing firmware; it reports its versions when it is done</source>
        <translation>das Laufwerk installiert Firmware; seine Versionen meldet es, wenn es fertig ist</translation>
    </message>
    <message id="DRIVE_INSTALLING">
        <source>installing firmware: %1 %</source>
        <translation>installiert Firmware: %1 %</translation>
    </message>
    <message id="STATUS_INSTALLING">
        <source>Installing: %1 %</source>
        <translation>Installation: %1 %</translation>
    </message>
    <message id="MESSAGE_DONT_DISCONNECTUSB">
        <source>Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?</source>
        <translation>Trennen Sie das Laufwerk nicht und schalten Sie den Computer nicht aus, während die Firmware aktualisiert wird. Aktualisierung starten?</translation>
    </message>
    <message id="MESSAGE_TARGET_GONE">
        <source>The drive you chose is no longer attached. Nothing was sent to it.</source>
        <translation>Das gewählte Laufwerk ist nicht mehr angeschlossen. Es wurde nichts an das Laufwerk gesendet.</translation>
    </message>
    <message id="MESSAGE_TARGET_NOT_ELIGIBLE">
        <source>The drive you chose may no longer be updated. Nothing was sent to it.</source>
        <translation>Das gewählte Laufwerk darf nicht mehr aktualisiert werden. Es wurde nichts an das Laufwerk gesendet.</translation>
    </message>
    <message id="RESULT_REVISIONS">
        <source>Firmware revision %1 before, %2 now.</source>
        <translation>Firmware-Revision vorher %1, jetzt %2.</translation>
    </message>
    <message id="RESULT_COMPLETE">
        <source>Complete!</source>
        <translation>Abgeschlossen!</translation>
    </message>
    <message id="RESULT_ERROR">
        <source>Error!</source>
        <translation>Fehler!</translation>
    </message>
    <message id="ABOUT_TITLE">
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message id="ABOUT_TEXT">
        <source>Version %1&lt;br&gt;Qt %2&lt;br&gt;Shipped firmware revision %3&lt;br&gt;&lt;br&gt;Released under the MIT License.</source>
        <translation>Version %1&lt;br&gt;Qt %2&lt;br&gt;Mitgelieferte Firmware-Revision %3&lt;br&gt;&lt;br&gt;Veröffentlicht unter der MIT-Lizenz.</translation>
    </message>
    <message id="IMAGE_MISSING">
        <source>missing</source>
        <translation>fehlt</translation>
    </message>
    <message id="IMAGE_NOT_REGULAR">
        <source>missing or not a regular file</source>
        <translation>fehlt oder ist keine reguläre Datei</translation>
    </message>
    <message id="IMAGE_TOO_LARGE">
        <source>too large (%1 bytes, at most %2)</source>
        <translation>zu groß (%1 Bytes, höchstens %2)</translation>
    </message>
    <message id="IMAGE_UNREADABLE">
        <source>cannot be read</source>
        <translation>kann nicht gelesen werden</translation>
    </message>
    <message id="IMAGE_NOT_IN_MANIFEST">
        <source>not listed in the image manifest</source>
        <translation>steht nicht im Abbild-Manifest</translation>
    </message>
    <message id="IMAGE_TRUNCATED">
        <source>truncated (%1 bytes, at least %2 needed)</source>
        <translation>abgeschnitten (%1 Bytes, mindestens %2 nötig)</translation>
    </message>
    <message id="IMAGE_DAMAGED">
        <source>damaged or replaced (its SHA-256 differs from the one this program was built with)</source>
        <translation>beschädigt oder ersetzt (die SHA-256-Prüfsumme weicht von der ab, mit der dieses Programm erstellt wurde)</translation>
    </message>
    <message id="IMAGE_OTHER_REVISION">
        <source>carries revision "%1", not "%2"</source>
        <translation>trägt Revision „%1“, nicht „%2“</translation>
    </message>
    <message id="IMAGE_MANIFEST_MALFORMED">
        <source>malformed: %1</source>
        <translation>fehlerhaft: %1</translation>
    </message>
    <message id="IMAGE_HOLDS_KERNEL">
        <source>holds the kernel image, not the normal image</source>
        <translation>enthält das Kernel-Abbild, nicht das normale Abbild</translation>
    </message>
    <message id="IMAGE_HOLDS_NORMAL">
        <source>holds the normal image, not the kernel image</source>
        <translation>enthält das normale Abbild, nicht das Kernel-Abbild</translation>
    </message>
    <message id="IMAGE_MANIFEST_DIFFERS">
        <source>lists another SHA-256 for %1 than this program was built with</source>
        <translation>nennt für %1 eine andere SHA-256-Prüfsumme als die, mit der dieses Programm erstellt wurde</translation>
    </message>
    <message id="SHIPPED_FIRMWARE_UNUSABLE">
        <source>unusable: %1</source>
        <translation>unbrauchbar: %1</translation>
    </message>
    <message id="IMAGE_CHANGED">
        <source>changed since the program started</source>
        <translation>seit dem Programmstart verändert</translation>
    </message>
    <message id="IMAGE_MISSING_AT_START">
        <source>missing at start-up</source>
        <translation>fehlte beim Programmstart</translation>
    </message>
    <message id="CHANGE_OTHER_DRIVE">
        <source>another drive answers in its place</source>
        <translation>an seiner Stelle antwortet ein anderes Laufwerk</translation>
    </message>
    <message id="CHANGE_OTHER_MODEL">
        <source>it no longer answers as a drive of the target model</source>
        <translation>es meldet sich nicht mehr als Laufwerk des Zielmodells</translation>
    </message>
    <message id="CHANGE_LEFT_UPDATE_MODE">
        <source>it has left its update mode</source>
        <translation>es hat seinen Aktualisierungsmodus verlassen</translation>
    </message>
    <message id="CHANGE_ENTERED_UPDATE_MODE">
        <source>it has been put into its update mode</source>
        <translation>es wurde in seinen Aktualisierungsmodus versetzt</translation>
    </message>
    <message id="CHANGE_REVISION">
        <source>its revision is now "%1", not "%2"</source>
        <translation>seine Revision ist jetzt „%1“, nicht „%2“</translation>
    </message>
    <message id="CHANGE_IDENTIFICATION">
        <source>it identifies differently</source>
        <translation>es meldet sich anders</translation>
    </message>
    <message id="CHANGE_HARDWARE_VERSIONS">
        <source>its hardware versions differ</source>
        <translation>seine Hardware-Versionen weichen ab</translation>
    </message>
    <message id="CHANGE_NOT_ELIGIBLE">
        <source>it may not be updated: %1</source>
        <translation>es darf nicht aktualisiert werden: %1</translation>
    </message>
    <message id="STEP_CHECK_IMAGES">
        <source>checking the firmware images</source>
        <translation>Prüfen der Firmware-Abbilder</translation>
    </message>
    <message id="STEP_TAKE_DRIVE">
        <source>taking the drive</source>
        <translation>Übernehmen des Laufwerks</translation>
    </message>
    <message id="STEP_IDENTIFY_AGAIN">
        <source>identifying the drive again</source>
        <translation>erneuten Erkennen des Laufwerks</translation>
    </message>
    <message id="STEP_TO_UPDATE_MODE">
        <source>switching the drive to its update mode</source>
        <translation>Umschalten des Laufwerks in den Aktualisierungsmodus</translation>
    </message>
    <message id="STEP_WRITE_KERNEL_IMAGE">
        <source>writing the kernel image</source>
        <translation>Schreiben des Kernel-Abbilds</translation>
    </message>
    <message id="STEP_WRITE_FIRMWARE">
        <source>writing the firmware</source>
        <translation>Schreiben der Firmware</translation>
    </message>
    <message id="STEP_TO_NORMAL_MODE">
        <source>switching the drive back to start the install</source>
        <translation>Zurückschalten des Laufwerks zum Start der Installation</translation>
    </message>
    <message id="STEP_INSTALL">
        <source>waiting for the drive to install the firmware</source>
        <translation>Warten auf die Installation der Firmware</translation>
    </message>
    <message id="STEP_CHECK_REVISION">
        <source>checking the new firmware</source>
        <translation>Prüfen der neuen Firmware</translation>
    </message>
    <message id="STEP_RELEASE_DRIVE">
        <source>giving the drive back</source>
        <translation>Freigeben des Laufwerks</translation>
    </message>
    <message id="STEP_DONE">
        <source>done</source>
        <translation>Abschluss</translation>
    </message>
    <message id="STATE_OLD_FIRMWARE">
        <source>the drive still runs its old firmware</source>
        <translation>das Laufwerk läuft noch mit seiner alten Firmware</translation>
    </message>
    <message id="STATE_UPDATE_MODE">
        <source>the drive is in its update mode: run the update again to finish; do not unplug it</source>
        <translation>das Laufwerk ist in seinem Aktualisierungsmodus: führen Sie die Aktualisierung erneut aus, um sie abzuschließen; trennen Sie es nicht</translation>
    </message>
    <message id="STATE_INSTALLING">
        <source>the drive goes on installing the firmware: keep it connected and powered until it is ready</source>
        <translation>das Laufwerk installiert die Firmware weiter: lassen Sie es verbunden und eingeschaltet, bis es bereit ist</translation>
    </message>
    <message id="STATE_UNKNOWN">
        <source>state unknown</source>
        <translation>Zustand unbekannt</translation>
    </message>
    <message id="STATE_UPDATED">
        <source>the drive runs the new firmware</source>
        <translation>das Laufwerk läuft mit der neuen Firmware</translation>
    </message>
    <message id="CAUSE_NO_DRIVE">
        <source>no drive was chosen</source>
        <translation>es wurde kein Laufwerk gewählt</translation>
    </message>
    <message id="CAUSE_LOCKED_ELSEWHERE">
        <source>the drive is being updated by another process</source>
        <translation>das Laufwerk wird von einem anderen Prozess aktualisiert</translation>
    </message>
    <message id="CAUSE_LOCK_UNUSABLE">
        <source>%1</source>
        <translation>die Aktualisierungssperre ist nicht nutzbar: %1</translation>
    </message>
    <message id="CAUSE_CANNOT_OPEN">
        <source>the drive cannot be opened; is it still attached?</source>
        <translation>das Laufwerk kann nicht geöffnet werden; ist es noch angeschlossen?</translation>
    </message>
    <message id="CAUSE_IN_USE">
        <source>the drive is in use by another program</source>
        <translation>das Laufwerk wird von einem anderen Programm benutzt</translation>
    </message>
    <message id="CAUSE_DRIVE_CHANGED">
        <source>the drive changed since it was chosen: %1</source>
        <translation>das Laufwerk hat sich seit der Auswahl verändert: %1</translation>
    </message>
    <message id="CAUSE_DRY_RUN">
        <source>dry run: every check passed and nothing was sent</source>
        <translation>Probelauf: alle Prüfungen bestanden, nichts wurde gesendet</translation>
    </message>
    <message id="CAUSE_CANCELLED">
        <source>cancelled before anything was sent</source>
        <translation>abgebrochen, bevor etwas gesendet wurde</translation>
    </message>
    <message id="CAUSE_TO_UPDATE_MODE_REFUSED">
        <source>the drive refused to switch to its update mode</source>
        <translation>das Laufwerk hat das Umschalten in seinen Aktualisierungsmodus abgelehnt</translation>
    </message>
    <message id="CAUSE_SWITCH_BACK_REFUSED">
        <source>the drive refused to switch back</source>
        <translation>das Laufwerk hat das Zurückschalten abgelehnt</translation>
    </message>
    <message id="CAUSE_PIECE_REFUSED">
        <source>the drive refused piece %1 of %2; the install was not started</source>
        <translation>das Laufwerk hat Teil %1 von %2 abgelehnt; die Installation wurde nicht gestartet</translation>
    </message>
    <message id="CAUSE_DRIVE_GONE">
        <source>the drive has gone</source>
        <translation>das Laufwerk ist verschwunden</translation>
    </message>
    <message id="CAUSE_STILL_INSTALLING">
        <source>the drive was still installing after %1 s</source>
        <translation>das Laufwerk installierte nach %1 s noch</translation>
    </message>
    <message id="CAUSE_STOPPED_WAITING">
        <source>stopped waiting on request</source>
        <translation>Warten auf Wunsch beendet</translation>
    </message>
    <message id="CAUSE_NOT_IDENTIFIED">
        <source>the drive did not identify itself</source>
        <translation>das Laufwerk hat sich nicht gemeldet</translation>
    </message>
    <message id="CAUSE_WRONG_REVISION">
        <source>the drive reports revision "%1", not "%2"</source>
        <translation>das Laufwerk meldet Revision „%1“, nicht „%2“</translation>
    </message>
    <message id="CAUSE_NOT_GIVEN_BACK">
        <source>the drive could not be given back</source>
        <translation>das Laufwerk konnte nicht freigegeben werden</translation>
    </message>
    <message id="RESULT_STATE">
        <source>%1.</source>
        <translation>%1.</translation>
    </message>
    <message id="RESULT_FAILURE">
        <source>%1: %2; %3.</source>
        <translation>Fehler beim %1: %2; %3.</translation>
    </message>
    <message id="RESULT_NOT_RECORDED">
        <source>This update is missing from the update history: %1</source>
        <translation>Diese Aktualisierung fehlt im Aktualisierungsverlauf: %1</translation>
    </message>
    <message id="DETAILS_UNKNOWN">
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message id="DETAILS_PROGRAM">
        <source>Program: %1 %2</source>
        <translation>Programm: %1 %2</translation>
    </message>
    <message id="DETAILS_IMAGE">
        <source>Shipped firmware: %1</source>
        <translation>Mitgelieferte Firmware: %1</translation>
    </message>
    <message id="DETAILS_DRIVE">
        <source>Drive: %1</source>
        <translation>Laufwerk: %1</translation>
    </message>
    <message id="DETAILS_REVISION_BEFORE">
        <source>Firmware revision before: %1</source>
        <translation>Firmware-Revision vorher: %1</translation>
    </message>
    <message id="DETAILS_REVISION_AFTER">
        <source>Firmware revision after: %1</source>
        <translation>Firmware-Revision nachher: %1</translation>
    </message>
    <message id="DETAILS_RESULT">
        <source>Result: %1</source>
        <translation>Ergebnis: %1</translation>
    </message>
    <message id="DETAILS_STEP">
        <source>Failed step: %1</source>
        <translation>Fehlgeschlagener Schritt: %1</translation>
    </message>
    <message id="DETAILS_STATE">
        <source>Drive state: %1</source>
        <translation>Zustand des Laufwerks: %1</translation>
    </message>
    <message id="DETAILS_MESSAGE">
        <source>Message: %1</source>
        <translation>Meldung: %1</translation>
    </message>
    <message id="DETAILS_NOT_RECORDED">
        <source>Not recorded in the update history: %1</source>
        <translation>Nicht im Aktualisierungsverlauf verzeichnet: %1</translation>
    </message>
    <message id="DETAILS_LOG">
        <source>Last lines of the window's log:</source>
        <translation>Letzte Zeilen des Fensterprotokolls:</translation>
    </message>
    <message id="DETAILS_LOG_NONE">
        <source>(none)</source>
        <translation>(keine)</translation>
    </message>
    <message id="BUTTON_COPY_DETAILS">
        <source>&amp;Copy Details</source>
        <translation>Details &amp;kopieren</translation>
    </message>
    <message id="BUTTON_DETAILS_COPIED">
        <source>Details Copied</source>
        <translation>Details kopiert</translation>
    </message>
    <message id="MENU_HISTORY">
        <source>Update &amp;History...</source>
        <translation>&amp;Aktualisierungsverlauf...</translation>
    </message>
    <message id="HISTORY_UNKNOWN">
        <source>?</source>
        <translation>?</translation>
    </message>
    <message id="HISTORY_INTERRUPTED">
        <source>interrupted</source>
        <translation>unterbrochen</translation>
    </message>
    <message id="HISTORY_IN_PROGRESS">
        <source>in progress</source>
        <translation>läuft</translation>
    </message>
    <message id="HISTORY_UPDATED">
        <source>updated</source>
        <translation>aktualisiert</translation>
    </message>
    <message id="HISTORY_FAILED">
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
    <message id="HISTORY_STOPPED">
        <source>stopped waiting</source>
        <translation>Warten beendet</translation>
    </message>
    <message id="HISTORY_REFUSED">
        <source>refused</source>
        <translation>abgelehnt</translation>
    </message>
    <message id="HISTORY_FRONT_END_WINDOW">
        <source>window</source>
        <translation>Fenster</translation>
    </message>
    <message id="HISTORY_TITLE">
        <source>Update History</source>
        <translation>Aktualisierungsverlauf</translation>
    </message>
    <message id="HISTORY_COLUMN_TIME">
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message id="HISTORY_COLUMN_DRIVE">
        <source>Drive</source>
        <translation>Laufwerk</translation>
    </message>
    <message id="HISTORY_COLUMN_MODEL">
        <source>Model</source>
        <translation>Modell</translation>
    </message>
    <message id="HISTORY_COLUMN_REVISION">
        <source>Revision</source>
        <translation>Revision</translation>
    </message>
    <message id="HISTORY_COLUMN_IMAGE">
        <source>Image</source>
        <translation>Abbild</translation>
    </message>
    <message id="HISTORY_COLUMN_RESULT">
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message id="HISTORY_COLUMN_FRONT_END">
        <source>Run from</source>
        <translation>Ausgeführt von</translation>
    </message>
    <message id="HISTORY_COLUMN_MESSAGE">
        <source>Message</source>
        <translation>Meldung</translation>
    </message>
    <message id="HISTORY_TABLE_NAME">
        <source>Recorded updates</source>
        <translation>Aufgezeichnete Aktualisierungen</translation>
    </message>
    <message id="HISTORY_REVISIONS">
        <source>%1 → %2</source>
        <translation>%1 → %2</translation>
    </message>
    <message id="HISTORY_COUNT">
        <source>Updates recorded: %1</source>
        <translation>Aufgezeichnete Aktualisierungen: %1</translation>
    </message>
    <message id="HISTORY_SKIPPED">
        <source>unreadable lines skipped: %1</source>
        <translation>unlesbare Zeilen übersprungen: %1</translation>
    </message>
    <message id="ACCESSIBLE_PROGRESS">
        <source>Update progress</source>
        <translation>Fortschritt der Aktualisierung</translation>
    </message>
    <message id="ACCESSIBLE_DRIVE_DETAILS">
        <source>The chosen drive</source>
        <translation>Das gewählte Laufwerk</translation>
    </message>
</context>
</TS>
