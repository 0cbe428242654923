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
        <source>Update</source>
        <translation>Aktualisieren</translation>
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
</context>
</TS>
