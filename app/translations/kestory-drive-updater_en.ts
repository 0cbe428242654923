<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="LABEL_NO_NEED_UPDATE">
        <source>no need update</source>
        <translation>no need update</translation>
    </message>
    <message id="DRIVE_IN_UPDATE_MODE">
        <source>in update mode: update to recover</source>
        <translation>in update mode: update to recover</translation>
    </message>
    <message id="REASON_UP_TO_DATE">
        <source>its firmware is up to date</source>
        <translation>its firmware is up to date</translation>
    </message>
    <message id="REASON_OTHER_HARDWARE">
        <source>the firmware is for other hardware</source>
        <translation>the firmware is for other hardware</translation>
    </message>
    <message id="REASON_OTHER_DESTINATION">
        <source>the firmware is for another destination</source>
        <translation>the firmware is for another destination</translation>
    </message>
    <message id="REASON_VERSIONS_UNKNOWN">
        <source>the drive did not report its versions</source>
        <translation>the drive did not report its versions</translation>
    </message>
    <message id="REASON_IMAGE_DAMAGED">
        <source>the shipped firmware image is missing or damaged</source>
        <translation>the shipped firmware image is missing or damaged</translation>
    </message>
    <message id="DRIVE_ID">
        <source>id %1</source>
        <translation>id %1</translation>
    </message>
    <message id="DRIVE_SERIAL">
        <source>serial %1</source>
        <translation>serial %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_NODES">
        <source>Device: %1</source>
        <translation>Device: %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_ID">
        <source>Identity: %1</source>
        <translation>Identity: %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_SERIAL">
        <source>Serial number: %1</source>
        <translation>Serial number: %1</translation>
    </message>
    <message id="TOOLTIP_MAY_UPDATE">
        <source>May be updated</source>
        <translation>May be updated</translation>
    </message>
    <message id="MESSAGE_DISC_MOUNTED">
        <source>Disc may be mounted. Please confirm eject the disk!</source>
        <translation>Disc may be mounted. Please confirm eject the disk!</translation>
    </message>
    <message id="MESSAGE_NO_DRIVE_UPDATED">
        <source>No drive that can be updated was found. The application will quit.</source>
        <translation>No drive that can be updated was found. The application will quit.</translation>
    </message>
    <message id="LABEL_TARGET_DRIVE">
        <source>Target Drive</source>
        <translation>Target Drive</translation>
    </message>
    <message id="LABEL_WILL_UPDATE_TO">
        <source>will update to</source>
        <translation>will update to</translation>
    </message>
    <message id="BUTTON_UPDATE">
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message id="MESSAGE_CLOSE_REFUSED">
        <source>The drive is being updated. Closing now could leave it unusable.</source>
        <translation>The drive is being updated. Closing now could leave it unusable.</translation>
    </message>
    <message id="MENU_FILE">
        <source>&amp;File</source>
        <translation>&amp;File</translation>
    </message>
    <message id="MENU_QUIT">
        <source>&amp;Quit</source>
        <translation>&amp;Quit</translation>
    </message>
    <message id="MENU_HELP">
        <source>&amp;Help</source>
        <translation>&amp;Help</translation>
    </message>
    <message id="MENU_ABOUT">
        <source>&amp;About %1</source>
        <translation>&amp;About %1</translation>
    </message>
    <message id="TOOLTIP_DRIVE_LIST">
        <source>The drives of the model this program updates</source>
        <translation>The drives of the model this program updates</translation>
    </message>
    <message id="TOOLTIP_UPDATE_BUTTON">
        <source>Writes the shipped firmware into the chosen drive</source>
        <translation>Writes the shipped firmware into the chosen drive</translation>
    </message>
    <message id="STATUS_LOOKING_FOR_DRIVES">
        <source>Looking for drives…</source>
        <translation>Looking for drives…</translation>
    </message>
    <message id="STATUS_PREPARING">
        <source>Preparing the update</source>
        <translation>Preparing the update</translation>
    </message>
    <message id="STATUS_TO_UPDATE_MODE">
        <source>Switching the drive to update mode</source>
        <translation>Switching the drive to update mode</translation>
    </message>
    <message id="STATUS_WRITING_LOADER">
        <source>Writing the update loader</source>
        <translation>Writing the update loader</translation>
    </message>
    <message id="STATUS_WRITING_FIRMWARE">
        <source>Writing firmware: %1 of %2 KiB</source>
        <translation>Writing firmware: %1 of %2 KiB</translation>
    </message>
    <message id="STATUS_STARTING_INSTALL">
        <source>Starting the install</source>
        <translation>Starting the install</translation>
    </message>
    <message id="STATUS_CHECKING">
        <source>Checking the new firmware</source>
        <translation>Checking the new firmware</translation>
    </message>
    <message id="STATUS_INSTALLING_LEFT">
        <source>Installing: %1 % (about %2 s left)</source>
        <translation>Installing: %1 % (about %2 s left)</translation>
    </message>
    <message id="STATUS_INSTALLING">
        <source>Installing: %1 %</source>
        <translation>Installing: %1 %</translation>
    </message>
    <message id="MESSAGE_DONT_DISCONNECTUSB">
        <source>Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?</source>
        <translation>Do not disconnect the drive or turn off the computer while the firmware is updated. Start the update?</translation>
    </message>
    <message id="MESSAGE_TARGET_GONE">
        <source>The drive you chose is no longer attached. Nothing was sent to it.</source>
        <translation>The drive you chose is no longer attached. Nothing was sent to it.</translation>
    </message>
    <message id="MESSAGE_TARGET_NOT_ELIGIBLE">
        <source>The drive you chose may no longer be updated. Nothing was sent to it.</source>
        <translation>The drive you chose may no longer be updated. Nothing was sent to it.</translation>
    </message>
    <message id="RESULT_REVISIONS">
        <source>Firmware revision %1 before, %2 now.</source>
        <translation>Firmware revision %1 before, %2 now.</translation>
    </message>
    <message id="RESULT_COMPLETE">
        <source>Complete!</source>
        <translation>Complete!</translation>
    </message>
    <message id="RESULT_ERROR">
        <source>Error!</source>
        <translation>Error!</translation>
    </message>
    <message id="ABOUT_TITLE">
        <source>About %1</source>
        <translation>About %1</translation>
    </message>
    <message id="ABOUT_TEXT">
        <source>Version %1&lt;br&gt;Qt %2&lt;br&gt;Shipped firmware revision %3&lt;br&gt;&lt;br&gt;Released under the MIT License.</source>
        <translation>Version %1&lt;br&gt;Qt %2&lt;br&gt;Shipped firmware revision %3&lt;br&gt;&lt;br&gt;Released under the MIT License.</translation>
    </message>
</context>
</TS>
