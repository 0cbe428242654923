<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name></name>
    <message id="LABEL_NO_NEED_UPDATE">
        <source>no need update</source>
        <translation>更新の必要はありません</translation>
    </message>
    <message id="DRIVE_IN_UPDATE_MODE">
        <source>in update mode: update to recover</source>
        <translation>更新モードです: 更新すると復旧します</translation>
    </message>
    <message id="REASON_UP_TO_DATE">
        <source>its firmware is up to date</source>
        <translation>ファームウェアは最新です</translation>
    </message>
    <message id="REASON_OTHER_HARDWARE">
        <source>the firmware is for other hardware</source>
        <translation>このファームウェアは別のハードウェア用です</translation>
    </message>
    <message id="REASON_OTHER_DESTINATION">
        <source>the firmware is for another destination</source>
        <translation>このファームウェアは別の仕向け地用です</translation>
    </message>
    <message id="REASON_VERSIONS_UNKNOWN">
        <source>the drive did not report its versions</source>
        <translation>ドライブがバージョンを報告しませんでした</translation>
    </message>
    <message id="REASON_IMAGE_DAMAGED">
        <source>the shipped firmware image is missing or damaged</source>
        <translation>同梱のファームウェアイメージが見つからないか破損しています</translation>
    </message>
    <message id="DRIVE_ID">
        <source>id %1</source>
        <translation>ID %1</translation>
    </message>
    <message id="DRIVE_SERIAL">
        <source>serial %1</source>
        <translation>シリアル %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_NODES">
        <source>Device: %1</source>
        <translation>デバイス: %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_ID">
        <source>Identity: %1</source>
        <translation>識別子: %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_SERIAL">
        <source>Serial number: %1</source>
        <translation>シリアル番号: %1</translation>
    </message>
    <message id="TOOLTIP_MAY_UPDATE">
        <source>May be updated</source>
        <translation>更新できます</translation>
    </message>
    <message id="MESSAGE_DISC_MOUNTED">
        <source>Disc may be mounted. Please confirm eject the disk!</source>
        <translation>ディスクがマウントされている可能性があります。ディスクを取り出してください!</translation>
    </message>
    <message id="MESSAGE_NO_DRIVE_UPDATED">
        <source>No drive that can be updated was found. The application will quit.</source>
        <translation>更新できるドライブが見つかりませんでした。アプリケーションを終了します。</translation>
    </message>
    <message id="LABEL_TARGET_DRIVE">
        <source>Target Drive</source>
        <translation>対象ドライブ</translation>
    </message>
    <message id="LABEL_WILL_UPDATE_TO">
        <source>will update to</source>
        <translation>更新後のバージョン</translation>
    </message>
    <message id="BUTTON_UPDATE">
        <source>Update</source>
        <translation>更新</translation>
    </message>
    <message id="MESSAGE_CLOSE_REFUSED">
        <source>The drive is being updated. Closing now could leave it unusable.</source>
        <translation>ドライブを更新中です。いま閉じるとドライブが使用できなくなるおそれがあります。</translation>
    </message>
    <message id="MENU_FILE">
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message id="MENU_QUIT">
        <source>&amp;Quit</source>
        <translation>終了(&amp;Q)</translation>
    </message>
    <message id="MENU_HELP">
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message id="MENU_ABOUT">
        <source>&amp;About %1</source>
        <translation>%1 について(&amp;A)</translation>
    </message>
    <message id="TOOLTIP_DRIVE_LIST">
        <source>The drives of the model this program updates</source>
        <translation>このプログラムが更新する機種のドライブ</translation>
    </message>
    <message id="TOOLTIP_UPDATE_BUTTON">
        <source>Writes the shipped firmware into the chosen drive</source>
        <translation>同梱のファームウェアを選んだドライブに書き込みます</translation>
    </message>
    <message id="STATUS_LOOKING_FOR_DRIVES">
        <source>Looking for drives…</source>
        <translation>ドライブを探しています…</translation>
    </message>
    <message id="STATUS_PREPARING">
        <source>Preparing the update</source>
        <translation>更新を準備しています</translation>
    </message>
    <message id="STATUS_TO_UPDATE_MODE">
        <source>Switching the drive to update mode</source>
        <translation>ドライブを更新モードに切り替えています</translation>
    </message>
    <message id="STATUS_WRITING_LOADER">
        <source>Writing the update loader</source>
        <translation>更新ローダーを書き込んでいます</translation>
    </message>
    <message id="STATUS_WRITING_FIRMWARE">
        <source>Writing firmware: %1 of %2 KiB</source>
        <translation>ファームウェアを書き込んでいます: %1 / %2 KiB</translation>
    </message>
    <message id="STATUS_STARTING_INSTALL">
        <source>Starting the install</source>
        <translation>インストールを開始しています</translation>
    </message>
    <message id="STATUS_CHECKING">
        <source>Checking the new firmware</source>
        <translation>新しいファームウェアを確認しています</translation>
    </message>
    <message id="STATUS_INSTALLING_LEFT">
        <source>Installing: %1 % (about %2 s left)</source>
        <translation>インストール中: %1% (残り約 %2 秒)</translation>
    </message>
    <message id="STATUS_INSTALLING">
        <source>Installing: %1 %</source>
        <translation>インストール中: %1%</translation>
    </message>
    <message id="MESSAGE_DONT_DISCONNECTUSB">
        <source>Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?</source>
        <translation>ファームウェアの更新中はドライブを取り外したり、コンピュータの電源を切ったりしないでください。更新を開始しますか？</translation>
    </message>
    <message id="MESSAGE_TARGET_GONE">
        <source>The drive you chose is no longer attached. Nothing was sent to it.</source>
        <translation>選んだドライブはもう接続されていません。ドライブには何も送信していません。</translation>
    </message>
    <message id="MESSAGE_TARGET_NOT_ELIGIBLE">
        <source>The drive you chose may no longer be updated. Nothing was sent to it.</source>
        <translation>選んだドライブはもう更新できません。ドライブには何も送信していません。</translation>
    </message>
    <message id="RESULT_REVISIONS">
        <source>Firmware revision %1 before, %2 now.</source>
        <translation>ファームウェアのリビジョン: 更新前 %1、現在 %2。</translation>
    </message>
    <message id="RESULT_COMPLETE">
        <source>Complete!</source>
        <translation>完了しました!</translation>
    </message>
    <message id="RESULT_ERROR">
        <source>Error!</source>
        <translation>エラー!</translation>
    </message>
    <message id="ABOUT_TITLE">
        <source>About %1</source>
        <translation>%1 について</translation>
    </message>
    <message id="ABOUT_TEXT">
        <source>Version %1&lt;br&gt;Qt %2&lt;br&gt;Shipped firmware revision %3&lt;br&gt;&lt;br&gt;Released under the MIT License.</source>
        <translation>バージョン %1&lt;br&gt;Qt %2&lt;br&gt;同梱ファームウェアのリビジョン %3&lt;br&gt;&lt;br&gt;MIT ライセンスで公開されています。</translation>
    </message>
</context>
</TS>
