<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name></name>
    <message id="MESSAGE_NO_DRIVE_UPDATED">
        <source>No drive that can be updated was found. The application will quit.</source>
        <translation>更新できるドライブが見つかりませんでした。アプリケーションを終了します。</translation>
    </message>
    <message id="MESSAGE_DONT_DISCONNECTUSB">
        <source>Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?</source>
        <translation>ファームウェアの更新中はドライブを取り外したり、コンピュータの電源を切ったりしないでください。更新を開始しますか？</translation>
    </message>
</context>
</TS>
