<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name></name>
    <message id="MESSAGE_NO_DRIVE_UPDATED">
        <source>No drive that can be updated was found. The application will quit.</source>
        <translation>Es wurde kein Laufwerk gefunden, das aktualisiert werden kann. Das Programm wird beendet.</translation>
    </message>
    <message id="MESSAGE_DONT_DISCONNECTUSB">
        <source>Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?</source>
        <translation>Trennen Sie das Laufwerk nicht und schalten Sie den Computer nicht aus, während die Firmware aktualisiert wird. Aktualisierung starten?</translation>
    </message>
</context>
</TS>
