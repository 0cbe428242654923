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
    <message id="REASON_HARDWARE_VERSION_UNKNOWN">
        <source>the drive did not report its hardware version</source>
        <translation>ドライブがハードウェアバージョンを報告しませんでした</translation>
    </message>
    <message id="REASON_DESTINATION_UNKNOWN">
        <source>the drive did not report its destination version</source>
        <translation>ドライブが仕向け先バージョンを報告しませんでした</translation>
    </message>
    <message id="REASON_REVISION_UNKNOWN">
        <source>the drive did not report its firmware revision</source>
        <translation>ドライブがファームウェアのリビジョンを報告しませんでした</translation>
    </message>
    <message id="REASON_IN_USE">
        <source>in use by another program</source>
        <translation>別のプログラムが使用中です</translation>
    </message>
    <message id="REASON_ACCESS_REFUSED">
        <source>access to the drive was refused</source>
        <translation>ドライブへのアクセスが拒否されました</translation>
    </message>
    <message id="REASON_UNREADABLE">
        <source>the drive could not be examined</source>
        <translation>ドライブを調べられませんでした</translation>
    </message>
    <message id="DRIVE_ENTRY_NOT_EXAMINED">
        <source>%1 (%2)</source>
        <translation>%1（%2）</translation>
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
        <source>&amp;Update</source>
        <translation>更新(&amp;U)</translation>
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
    <message id="STATUS_AWAITING_RETURN">
        <source>Waiting for the drive to come back</source>
        <translation>ドライブが戻るのを待っています</translation>
    </message>
    <message id="STEP_AWAIT_RETURN">
        <source>waiting for the drive to come back</source>
        <translation>ドライブが戻るのを待っている間</translation>
    </message>
    <message id="CAUSE_NO_READY_ANSWER">
        <source>the drive did not report ready within %1 s</source>
        <translation>ドライブが %1 秒以内に準備完了を報告しませんでした</translation>
    </message>
    <message id="CAUSE_INSTALL_FAULT">
        <source>the drive kept answering "%1" while installing</source>
        <translation>ドライブがインストール中に「%1」と応答し続けました</translation>
    </message>
    <message id="CAUSE_WENT_AWAY">
        <source>the drive went away while installing: reconnect it and run `kdu list`</source>
        <translation>インストール中にドライブが見えなくなりました: 接続し直して `kdu list` を実行してください</translation>
    </message>
    <message id="REASON_INSTALLING">
        <source>the drive is installing firmware; it reports its versions when it is done</source>
        <translation>ドライブはファームウェアをインストール中です。完了するとバージョンを報告します</translation>
    </message>
    <message id="DRIVE_INSTALLING">
        <source>installing firmware: %1 %</source>
        <translation>ファームウェアをインストール中: %1%</translation>
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
    <message id="IMAGE_MISSING">
        <source>missing</source>
        <translation>見つかりません</translation>
    </message>
    <message id="IMAGE_NOT_REGULAR">
        <source>missing or not a regular file</source>
        <translation>見つからないか、通常のファイルではありません</translation>
    </message>
    <message id="IMAGE_TOO_LARGE">
        <source>too large (%1 bytes, at most %2)</source>
        <translation>大きすぎます (%1 バイト、上限 %2)</translation>
    </message>
    <message id="IMAGE_UNREADABLE">
        <source>cannot be read</source>
        <translation>読み込めません</translation>
    </message>
    <message id="IMAGE_NOT_IN_MANIFEST">
        <source>not listed in the image manifest</source>
        <translation>イメージのマニフェストに載っていません</translation>
    </message>
    <message id="IMAGE_TRUNCATED">
        <source>truncated (%1 bytes, at least %2 needed)</source>
        <translation>途中で切れています (%1 バイト、%2 バイト以上必要)</translation>
    </message>
    <message id="IMAGE_DAMAGED">
        <source>damaged or replaced (its SHA-256 differs from the one this program was built with)</source>
        <translation>破損しているか置き換えられています (SHA-256 がこのプログラムのビルド時のものと一致しません)</translation>
    </message>
    <message id="IMAGE_OTHER_REVISION">
        <source>carries revision "%1", not "%2"</source>
        <translation>リビジョンが「%2」ではなく「%1」です</translation>
    </message>
    <message id="IMAGE_MANIFEST_MALFORMED">
        <source>malformed: %1</source>
        <translation>形式が正しくありません: %1</translation>
    </message>
    <message id="IMAGE_HOLDS_KERNEL">
        <source>holds the kernel image, not the normal image</source>
        <translation>通常イメージではなくカーネルイメージが入っています</translation>
    </message>
    <message id="IMAGE_HOLDS_NORMAL">
        <source>holds the normal image, not the kernel image</source>
        <translation>カーネルイメージではなく通常イメージが入っています</translation>
    </message>
    <message id="IMAGE_MANIFEST_DIFFERS">
        <source>lists another SHA-256 for %1 than this program was built with</source>
        <translation>%1 について、このプログラムのビルド時とは異なる SHA-256 が記載されています</translation>
    </message>
    <message id="SHIPPED_FIRMWARE_UNUSABLE">
        <source>unusable: %1</source>
        <translation>使用できません: %1</translation>
    </message>
    <message id="IMAGE_CHANGED">
        <source>changed since the program started</source>
        <translation>プログラムの起動後に変更されました</translation>
    </message>
    <message id="IMAGE_MISSING_AT_START">
        <source>missing at start-up</source>
        <translation>起動時に見つかりませんでした</translation>
    </message>
    <message id="CHANGE_OTHER_DRIVE">
        <source>another drive answers in its place</source>
        <translation>別のドライブが代わりに応答しています</translation>
    </message>
    <message id="CHANGE_OTHER_MODEL">
        <source>it no longer answers as a drive of the target model</source>
        <translation>対象機種のドライブとして応答しなくなりました</translation>
    </message>
    <message id="CHANGE_LEFT_UPDATE_MODE">
        <source>it has left its update mode</source>
        <translation>アップデートモードを抜けました</translation>
    </message>
    <message id="CHANGE_ENTERED_UPDATE_MODE">
        <source>it has been put into its update mode</source>
        <translation>アップデートモードに切り替えられました</translation>
    </message>
    <message id="CHANGE_REVISION">
        <source>its revision is now "%1", not "%2"</source>
        <translation>リビジョンが「%2」ではなく「%1」になっています</translation>
    </message>
    <message id="CHANGE_IDENTIFICATION">
        <source>it identifies differently</source>
        <translation>識別情報が変わりました</translation>
    </message>
    <message id="CHANGE_HARDWARE_VERSIONS">
        <source>its hardware versions differ</source>
        <translation>ハードウェアのバージョンが異なります</translation>
    </message>
    <message id="CHANGE_NOT_ELIGIBLE">
        <source>it may not be updated: %1</source>
        <translation>アップデートできません: %1</translation>
    </message>
    <message id="STEP_CHECK_IMAGES">
        <source>checking the firmware images</source>
        <translation>ファームウェアイメージの確認中</translation>
    </message>
    <message id="STEP_TAKE_DRIVE">
        <source>taking the drive</source>
        <translation>ドライブの確保中</translation>
    </message>
    <message id="STEP_IDENTIFY_AGAIN">
        <source>identifying the drive again</source>
        <translation>ドライブの再確認中</translation>
    </message>
    <message id="STEP_TO_UPDATE_MODE">
        <source>switching the drive to its update mode</source>
        <translation>ドライブをアップデートモードに切り替え中</translation>
    </message>
    <message id="STEP_WRITE_KERNEL_IMAGE">
        <source>writing the kernel image</source>
        <translation>カーネルイメージの書き込み中</translation>
    </message>
    <message id="STEP_WRITE_FIRMWARE">
        <source>writing the firmware</source>
        <translation>ファームウェアの書き込み中</translation>
    </message>
    <message id="STEP_TO_NORMAL_MODE">
        <source>switching the drive back to start the install</source>
        <translation>インストール開始のためドライブを戻している最中</translation>
    </message>
    <message id="STEP_INSTALL">
        <source>waiting for the drive to install the firmware</source>
        <translation>ドライブのファームウェアインストールを待つ間</translation>
    </message>
    <message id="STEP_CHECK_REVISION">
        <source>checking the new firmware</source>
        <translation>新しいファームウェアの確認中</translation>
    </message>
    <message id="STEP_RELEASE_DRIVE">
        <source>giving the drive back</source>
        <translation>ドライブの解放中</translation>
    </message>
    <message id="STEP_DONE">
        <source>done</source>
        <translation>完了時</translation>
    </message>
    <message id="STATE_OLD_FIRMWARE">
        <source>the drive still runs its old firmware</source>
        <translation>ドライブは古いファームウェアのままです</translation>
    </message>
    <message id="STATE_UPDATE_MODE">
        <source>the drive is in its update mode: run the update again to finish; do not unplug it</source>
        <translation>ドライブはアップデートモードのままです。完了するにはもう一度アップデートしてください。取り外さないでください</translation>
    </message>
    <message id="STATE_INSTALLING">
        <source>the drive goes on installing the firmware: keep it connected and powered until it is ready</source>
        <translation>ドライブはファームウェアのインストールを続けています。準備ができるまで接続と電源を保ってください</translation>
    </message>
    <message id="STATE_UNKNOWN">
        <source>state unknown</source>
        <translation>状態は不明です</translation>
    </message>
    <message id="STATE_UPDATED">
        <source>the drive runs the new firmware</source>
        <translation>ドライブは新しいファームウェアで動作しています</translation>
    </message>
    <message id="CAUSE_NO_DRIVE">
        <source>no drive was chosen</source>
        <translation>ドライブが選ばれていません</translation>
    </message>
    <message id="CAUSE_LOCKED_ELSEWHERE">
        <source>the drive is being updated by another process</source>
        <translation>ドライブは別のプロセスがアップデート中です</translation>
    </message>
    <message id="CAUSE_LOCK_UNUSABLE">
        <source>%1</source>
        <translation>アップデート用のロックを使えません: %1</translation>
    </message>
    <message id="CAUSE_CANNOT_OPEN">
        <source>the drive cannot be opened; is it still attached?</source>
        <translation>ドライブを開けません。まだ接続されていますか?</translation>
    </message>
    <message id="CAUSE_IN_USE">
        <source>the drive is in use by another program</source>
        <translation>ドライブは別のプログラムが使用中です</translation>
    </message>
    <message id="CAUSE_DRIVE_CHANGED">
        <source>the drive changed since it was chosen: %1</source>
        <translation>選択後にドライブが変わりました: %1</translation>
    </message>
    <message id="CAUSE_DRY_RUN">
        <source>dry run: every check passed and nothing was sent</source>
        <translation>予行演習: すべての確認に合格し、何も送信していません</translation>
    </message>
    <message id="CAUSE_CANCELLED">
        <source>cancelled before anything was sent</source>
        <translation>何も送信する前に取り消されました</translation>
    </message>
    <message id="CAUSE_TO_UPDATE_MODE_REFUSED">
        <source>the drive refused to switch to its update mode</source>
        <translation>ドライブがアップデートモードへの切り替えを拒否しました</translation>
    </message>
    <message id="CAUSE_SWITCH_BACK_REFUSED">
        <source>the drive refused to switch back</source>
        <translation>ドライブが元のモードへの切り替えを拒否しました</translation>
    </message>
    <message id="CAUSE_PIECE_REFUSED">
        <source>the drive refused piece %1 of %2; the install was not started</source>
        <translation>ドライブが %2 個中 %1 個目を拒否しました。インストールは開始していません</translation>
    </message>
    <message id="CAUSE_DRIVE_GONE">
        <source>the drive has gone</source>
        <translation>ドライブが見えなくなりました</translation>
    </message>
    <message id="CAUSE_STILL_INSTALLING">
        <source>the drive was still installing after %1 s</source>
        <translation>%1 秒後もドライブはインストール中でした</translation>
    </message>
    <message id="CAUSE_STOPPED_WAITING">
        <source>stopped waiting on request</source>
        <translation>要求により待機をやめました</translation>
    </message>
    <message id="CAUSE_NOT_IDENTIFIED">
        <source>the drive did not identify itself</source>
        <translation>ドライブが識別情報を返しませんでした</translation>
    </message>
    <message id="CAUSE_WRONG_REVISION">
        <source>the drive reports revision "%1", not "%2"</source>
        <translation>ドライブのリビジョンが「%2」ではなく「%1」です</translation>
    </message>
    <message id="CAUSE_NOT_GIVEN_BACK">
        <source>the drive could not be given back</source>
        <translation>ドライブを解放できませんでした</translation>
    </message>
    <message id="RESULT_STATE">
        <source>%1.</source>
        <translation>%1。</translation>
    </message>
    <message id="RESULT_FAILURE">
        <source>%1: %2; %3.</source>
        <translation>%1にエラー: %2。%3。</translation>
    </message>
    <message id="RESULT_NOT_RECORDED">
        <source>This update is missing from the update history: %1</source>
        <translation>このアップデートはアップデート履歴に記録されていません: %1</translation>
    </message>
    <message id="DETAILS_UNKNOWN">
        <source>unknown</source>
        <translation>不明</translation>
    </message>
    <message id="DETAILS_PROGRAM">
        <source>Program: %1 %2</source>
        <translation>プログラム: %1 %2</translation>
    </message>
    <message id="DETAILS_IMAGE">
        <source>Shipped firmware: %1</source>
        <translation>同梱ファームウェア: %1</translation>
    </message>
    <message id="DETAILS_DRIVE">
        <source>Drive: %1</source>
        <translation>ドライブ: %1</translation>
    </message>
    <message id="DETAILS_REVISION_BEFORE">
        <source>Firmware revision before: %1</source>
        <translation>更新前のファームウェアリビジョン: %1</translation>
    </message>
    <message id="DETAILS_REVISION_AFTER">
        <source>Firmware revision after: %1</source>
        <translation>更新後のファームウェアリビジョン: %1</translation>
    </message>
    <message id="DETAILS_RESULT">
        <source>Result: %1</source>
        <translation>結果: %1</translation>
    </message>
    <message id="DETAILS_STEP">
        <source>Failed step: %1</source>
        <translation>失敗した手順: %1</translation>
    </message>
    <message id="DETAILS_STATE">
        <source>Drive state: %1</source>
        <translation>ドライブの状態: %1</translation>
    </message>
    <message id="DETAILS_MESSAGE">
        <source>Message: %1</source>
        <translation>メッセージ: %1</translation>
    </message>
    <message id="DETAILS_NOT_RECORDED">
        <source>Not recorded in the update history: %1</source>
        <translation>アップデート履歴に記録されていません: %1</translation>
    </message>
    <message id="DETAILS_LOG">
        <source>Last lines of the window's log:</source>
        <translation>ウィンドウのログの最後の行:</translation>
    </message>
    <message id="DETAILS_LOG_NONE">
        <source>(none)</source>
        <translation>(なし)</translation>
    </message>
    <message id="BUTTON_COPY_DETAILS">
        <source>&amp;Copy Details</source>
        <translation>詳細をコピー(&amp;C)</translation>
    </message>
    <message id="BUTTON_DETAILS_COPIED">
        <source>Details Copied</source>
        <translation>詳細をコピーしました</translation>
    </message>
    <message id="MENU_HISTORY">
        <source>Update &amp;History...</source>
        <translation>アップデート履歴(&amp;H)...</translation>
    </message>
    <message id="HISTORY_UNKNOWN">
        <source>?</source>
        <translation>?</translation>
    </message>
    <message id="HISTORY_INTERRUPTED">
        <source>interrupted</source>
        <translation>中断</translation>
    </message>
    <message id="HISTORY_IN_PROGRESS">
        <source>in progress</source>
        <translation>実行中</translation>
    </message>
    <message id="HISTORY_UPDATED">
        <source>updated</source>
        <translation>更新済み</translation>
    </message>
    <message id="HISTORY_FAILED">
        <source>failed</source>
        <translation>失敗</translation>
    </message>
    <message id="HISTORY_STOPPED">
        <source>stopped waiting</source>
        <translation>待機を中止</translation>
    </message>
    <message id="HISTORY_REFUSED">
        <source>refused</source>
        <translation>拒否</translation>
    </message>
    <message id="HISTORY_FRONT_END_WINDOW">
        <source>window</source>
        <translation>ウィンドウ</translation>
    </message>
    <message id="HISTORY_TITLE">
        <source>Update History</source>
        <translation>アップデート履歴</translation>
    </message>
    <message id="HISTORY_COLUMN_TIME">
        <source>Time</source>
        <translation>日時</translation>
    </message>
    <message id="HISTORY_COLUMN_DRIVE">
        <source>Drive</source>
        <translation>ドライブ</translation>
    </message>
    <message id="HISTORY_COLUMN_MODEL">
        <source>Model</source>
        <translation>モデル</translation>
    </message>
    <message id="HISTORY_COLUMN_REVISION">
        <source>Revision</source>
        <translation>リビジョン</translation>
    </message>
    <message id="HISTORY_COLUMN_IMAGE">
        <source>Image</source>
        <translation>イメージ</translation>
    </message>
    <message id="HISTORY_COLUMN_RESULT">
        <source>Result</source>
        <translation>結果</translation>
    </message>
    <message id="HISTORY_COLUMN_FRONT_END">
        <source>Run from</source>
        <translation>実行元</translation>
    </message>
    <message id="HISTORY_COLUMN_MESSAGE">
        <source>Message</source>
        <translation>メッセージ</translation>
    </message>
    <message id="HISTORY_TABLE_NAME">
        <source>Recorded updates</source>
        <translation>記録されたアップデート</translation>
    </message>
    <message id="HISTORY_REVISIONS">
        <source>%1 → %2</source>
        <translation>%1 → %2</translation>
    </message>
    <message id="HISTORY_COUNT">
        <source>Updates recorded: %1</source>
        <translation>記録されたアップデート: %1</translation>
    </message>
    <message id="HISTORY_SKIPPED">
        <source>unreadable lines skipped: %1</source>
        <translation>読み取れない行をスキップ: %1</translation>
    </message>
    <message id="ACCESSIBLE_PROGRESS">
        <source>Update progress</source>
        <translation>アップデートの進行状況</translation>
    </message>
    <message id="ACCESSIBLE_DRIVE_DETAILS">
        <source>The chosen drive</source>
        <translation>選択したドライブ</translation>
    </message>
</context>
</TS>
