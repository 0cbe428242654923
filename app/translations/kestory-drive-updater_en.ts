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
    <message id="REASON_HARDWARE_VERSION_UNKNOWN">
        <source>the drive did not report its hardware version</source>
        <translation>the drive did not report its hardware version</translation>
    </message>
    <message id="REASON_DESTINATION_UNKNOWN">
        <source>the drive did not report its destination version</source>
        <translation>the drive did not report its destination version</translation>
    </message>
    <message id="REASON_REVISION_UNKNOWN">
        <source>the drive did not report its firmware revision</source>
        <translation>the drive did not report its firmware revision</translation>
    </message>
    <message id="REASON_IN_USE">
        <source>in use by another program</source>
        <translation>in use by another program</translation>
    </message>
    <message id="REASON_ACCESS_REFUSED">
        <source>access to the drive was refused</source>
        <translation>access to the drive was refused</translation>
    </message>
    <message id="REASON_UNREADABLE">
        <source>the drive could not be examined</source>
        <translation>the drive could not be examined</translation>
    </message>
    <message id="DRIVE_ENTRY_NOT_EXAMINED">
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
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
        <source>&amp;Update</source>
        <translation>&amp;Update</translation>
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
    <message id="STATUS_AWAITING_RETURN">
        <source>Waiting for the drive to come back</source>
        <translation>Waiting for the drive to come back</translation>
    </message>
    <message id="STEP_AWAIT_RETURN">
        <source>waiting for the drive to come back</source>
        <translation>waiting for the drive to come back</translation>
    </message>
    <message id="CAUSE_NO_READY_ANSWER">
        <source>the drive did not report ready within %1 s</source>
        <translation>the drive did not report ready within %1 s</translation>
    </message>
    <message id="CAUSE_INSTALL_FAULT">
        <source>the drive kept answering "%1" while installing</source>
        <translation>the drive kept answering "%1" while installing</translation>
    </message>
    <message id="CAUSE_WENT_AWAY">
        <source>the drive went away while installing: reconnect it and run `kdu list`</source>
        <translation>the drive went away while installing: reconnect it and run `kdu list`</translation>
    </message>
    <message id="REASON_INSTALLING">
        <source>the drive is installing firmware; it reports its versions when it is done</source>
        <translation>the drive is installing firmware; it reports its versions when it is done</translation>
    </message>
    <message id="DRIVE_INSTALLING">
        <source>installing firmware: %1 %</source>
        <translation>installing firmware: %1 %</translation>
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
    <message id="IMAGE_MISSING">
        <source>missing</source>
        <translation>missing</translation>
    </message>
    <message id="IMAGE_NOT_REGULAR">
        <source>missing or not a regular file</source>
        <translation>missing or not a regular file</translation>
    </message>
    <message id="IMAGE_TOO_LARGE">
        <source>too large (%1 bytes, at most %2)</source>
        <translation>too large (%1 bytes, at most %2)</translation>
    </message>
    <message id="IMAGE_UNREADABLE">
        <source>cannot be read</source>
        <translation>cannot be read</translation>
    </message>
    <message id="IMAGE_NOT_IN_MANIFEST">
        <source>not listed in the image manifest</source>
        <translation>not listed in the image manifest</translation>
    </message>
    <message id="IMAGE_TRUNCATED">
        <source>truncated (%1 bytes, at least %2 needed)</source>
        <translation>truncated (%1 bytes, at least %2 needed)</translation>
    </message>
    <message id="IMAGE_DAMAGED">
        <source>damaged or replaced (its SHA-256 differs from the one this program was built with)</source>
        <translation>damaged or replaced (its SHA-256 differs from the one this program was built with)</translation>
    </message>
    <message id="IMAGE_OTHER_REVISION">
        <source>carries revision "%1", not "%2"</source>
        <translation>carries revision "%1", not "%2"</translation>
    </message>
    <message id="IMAGE_MANIFEST_MALFORMED">
        <source>malformed: %1</source>
        <translation>malformed: %1</translation>
    </message>
    <message id="IMAGE_HOLDS_KERNEL">
        <source>holds the kernel image, not the normal image</source>
        <translation>holds the kernel image, not the normal image</translation>
    </message>
    <message id="IMAGE_HOLDS_NORMAL">
        <source>holds the normal image, not the kernel image</source>
        <translation>holds the normal image, not the kernel image</translation>
    </message>
    <message id="IMAGE_MANIFEST_DIFFERS">
        <source>lists another SHA-256 for %1 than this program was built with</source>
        <translation>lists another SHA-256 for %1 than this program was built with</translation>
    </message>
    <message id="SHIPPED_FIRMWARE_UNUSABLE">
        <source>unusable: %1</source>
        <translation>unusable: %1</translation>
    </message>
    <message id="IMAGE_CHANGED">
        <source>changed since the program started</source>
        <translation>changed since the program started</translation>
    </message>
    <message id="IMAGE_MISSING_AT_START">
        <source>missing at start-up</source>
        <translation>missing at start-up</translation>
    </message>
    <message id="CHANGE_OTHER_DRIVE">
        <source>another drive answers in its place</source>
        <translation>another drive answers in its place</translation>
    </message>
    <message id="CHANGE_OTHER_MODEL">
        <source>it no longer answers as a drive of the target model</source>
        <translation>it no longer answers as a drive of the target model</translation>
    </message>
    <message id="CHANGE_LEFT_UPDATE_MODE">
        <source>it has left its update mode</source>
        <translation>it has left its update mode</translation>
    </message>
    <message id="CHANGE_ENTERED_UPDATE_MODE">
        <source>it has been put into its update mode</source>
        <translation>it has been put into its update mode</translation>
    </message>
    <message id="CHANGE_REVISION">
        <source>its revision is now "%1", not "%2"</source>
        <translation>its revision is now "%1", not "%2"</translation>
    </message>
    <message id="CHANGE_IDENTIFICATION">
        <source>it identifies differently</source>
        <translation>it identifies differently</translation>
    </message>
    <message id="CHANGE_HARDWARE_VERSIONS">
        <source>its hardware versions differ</source>
        <translation>its hardware versions differ</translation>
    </message>
    <message id="CHANGE_NOT_ELIGIBLE">
        <source>it may not be updated: %1</source>
        <translation>it may not be updated: %1</translation>
    </message>
    <message id="STEP_CHECK_IMAGES">
        <source>checking the firmware images</source>
        <translation>checking the firmware images</translation>
    </message>
    <message id="STEP_TAKE_DRIVE">
        <source>taking the drive</source>
        <translation>taking the drive</translation>
    </message>
    <message id="STEP_IDENTIFY_AGAIN">
        <source>identifying the drive again</source>
        <translation>identifying the drive again</translation>
    </message>
    <message id="STEP_TO_UPDATE_MODE">
        <source>switching the drive to its update mode</source>
        <translation>switching the drive to its update mode</translation>
    </message>
    <message id="STEP_WRITE_KERNEL_IMAGE">
        <source>writing the kernel image</source>
        <translation>writing the kernel image</translation>
    </message>
    <message id="STEP_WRITE_FIRMWARE">
        <source>writing the firmware</source>
        <translation>writing the firmware</translation>
    </message>
    <message id="STEP_TO_NORMAL_MODE">
        <source>switching the drive back to start the install</source>
        <translation>switching the drive back to start the install</translation>
    </message>
    <message id="STEP_INSTALL">
        <source>waiting for the drive to install the firmware</source>
        <translation>waiting for the drive to install the firmware</translation>
    </message>
    <message id="STEP_CHECK_REVISION">
        <source>checking the new firmware</source>
        <translation>checking the new firmware</translation>
    </message>
    <message id="STEP_RELEASE_DRIVE">
        <source>giving the drive back</source>
        <translation>giving the drive back</translation>
    </message>
    <message id="STEP_DONE">
        <source>done</source>
        <translation>done</translation>
    </message>
    <message id="STATE_OLD_FIRMWARE">
        <source>the drive still runs its old firmware</source>
        <translation>the drive still runs its old firmware</translation>
    </message>
    <message id="STATE_UPDATE_MODE">
        <source>the drive is in its update mode: run the update again to finish; do not unplug it</source>
        <translation>the drive is in its update mode: run the update again to finish; do not unplug it</translation>
    </message>
    <message id="STATE_INSTALLING">
        <source>the drive goes on installing the firmware: keep it connected and powered until it is ready</source>
        <translation>the drive goes on installing the firmware: keep it connected and powered until it is ready</translation>
    </message>
    <message id="STATE_UNKNOWN">
        <source>state unknown</source>
        <translation>state unknown</translation>
    </message>
    <message id="STATE_UPDATED">
        <source>the drive runs the new firmware</source>
        <translation>the drive runs the new firmware</translation>
    </message>
    <message id="CAUSE_NO_DRIVE">
        <source>no drive was chosen</source>
        <translation>no drive was chosen</translation>
    </message>
    <message id="CAUSE_LOCKED_ELSEWHERE">
        <source>the drive is being updated by another process</source>
        <translation>the drive is being updated by another process</translation>
    </message>
    <message id="CAUSE_LOCK_UNUSABLE">
        <source>%1</source>
        <translation>%1</translation>
    </message>
    <message id="CAUSE_CANNOT_OPEN">
        <source>the drive cannot be opened; is it still attached?</source>
        <translation>the drive cannot be opened; is it still attached?</translation>
    </message>
    <message id="CAUSE_IN_USE">
        <source>the drive is in use by another program</source>
        <translation>the drive is in use by another program</translation>
    </message>
    <message id="CAUSE_DRIVE_CHANGED">
        <source>the drive changed since it was chosen: %1</source>
        <translation>the drive changed since it was chosen: %1</translation>
    </message>
    <message id="CAUSE_DRY_RUN">
        <source>dry run: every check passed and nothing was sent</source>
        <translation>dry run: every check passed and nothing was sent</translation>
    </message>
    <message id="CAUSE_CANCELLED">
        <source>cancelled before anything was sent</source>
        <translation>cancelled before anything was sent</translation>
    </message>
    <message id="CAUSE_TO_UPDATE_MODE_REFUSED">
        <source>the drive refused to switch to its update mode</source>
        <translation>the drive refused to switch to its update mode</translation>
    </message>
    <message id="CAUSE_SWITCH_BACK_REFUSED">
        <source>the drive refused to switch back</source>
        <translation>the drive refused to switch back</translation>
    </message>
    <message id="CAUSE_PIECE_REFUSED">
        <source>the drive refused piece %1 of %2; the install was not started</source>
        <translation>the drive refused piece %1 of %2; the install was not started</translation>
    </message>
    <message id="CAUSE_DRIVE_GONE">
        <source>the drive has gone</source>
        <translation>the drive has gone</translation>
    </message>
    <message id="CAUSE_STILL_INSTALLING">
        <source>the drive was still installing after %1 s</source>
        <translation>the drive was still installing after %1 s</translation>
    </message>
    <message id="CAUSE_STOPPED_WAITING">
        <source>stopped waiting on request</source>
        <translation>stopped waiting on request</translation>
    </message>
    <message id="CAUSE_NOT_IDENTIFIED">
        <source>the drive did not identify itself</source>
        <translation>the drive did not identify itself</translation>
    </message>
    <message id="CAUSE_WRONG_REVISION">
        <source>the drive reports revision "%1", not "%2"</source>
        <translation>the drive reports revision "%1", not "%2"</translation>
    </message>
    <message id="CAUSE_NOT_GIVEN_BACK">
        <source>the drive could not be given back</source>
        <translation>the drive could not be given back</translation>
    </message>
    <message id="RESULT_STATE">
        <source>%1.</source>
        <translation>%1.</translation>
    </message>
    <message id="RESULT_FAILURE">
        <source>%1: %2; %3.</source>
        <translation>%1: %2; %3.</translation>
    </message>
    <message id="RESULT_NOT_RECORDED">
        <source>This update is missing from the update history: %1</source>
        <translation>This update is missing from the update history: %1</translation>
    </message>
    <message id="DETAILS_UNKNOWN">
        <source>unknown</source>
        <translation>unknown</translation>
    </message>
    <message id="DETAILS_PROGRAM">
        <source>Program: %1 %2</source>
        <translation>Program: %1 %2</translation>
    </message>
    <message id="DETAILS_IMAGE">
        <source>Shipped firmware: %1</source>
        <translation>Shipped firmware: %1</translation>
    </message>
    <message id="DETAILS_DRIVE">
        <source>Drive: %1</source>
        <translation>Drive: %1</translation>
    </message>
    <message id="DETAILS_REVISION_BEFORE">
        <source>Firmware revision before: %1</source>
        <translation>Firmware revision before: %1</translation>
    </message>
    <message id="DETAILS_REVISION_AFTER">
        <source>Firmware revision after: %1</source>
        <translation>Firmware revision after: %1</translation>
    </message>
    <message id="DETAILS_RESULT">
        <source>Result: %1</source>
        <translation>Result: %1</translation>
    </message>
    <message id="DETAILS_STEP">
        <source>Failed step: %1</source>
        <translation>Failed step: %1</translation>
    </message>
    <message id="DETAILS_STATE">
        <source>Drive state: %1</source>
        <translation>Drive state: %1</translation>
    </message>
    <message id="DETAILS_MESSAGE">
        <source>Message: %1</source>
        <translation>Message: %1</translation>
    </message>
    <message id="DETAILS_NOT_RECORDED">
        <source>Not recorded in the update history: %1</source>
        <translation>Not recorded in the update history: %1</translation>
    </message>
    <message id="DETAILS_LOG">
        <source>Last lines of the window's log:</source>
        <translation>Last lines of the window's log:</translation>
    </message>
    <message id="DETAILS_LOG_NONE">
        <source>(none)</source>
        <translation>(none)</translation>
    </message>
    <message id="BUTTON_COPY_DETAILS">
        <source>&amp;Copy Details</source>
        <translation>&amp;Copy Details</translation>
    </message>
    <message id="BUTTON_DETAILS_COPIED">
        <source>Details Copied</source>
        <translation>Details Copied</translation>
    </message>
    <message id="MENU_HISTORY">
        <source>Update &amp;History...</source>
        <translation>Update &amp;History...</translation>
    </message>
    <message id="HISTORY_UNKNOWN">
        <source>?</source>
        <translation>?</translation>
    </message>
    <message id="HISTORY_INTERRUPTED">
        <source>interrupted</source>
        <translation>interrupted</translation>
    </message>
    <message id="HISTORY_IN_PROGRESS">
        <source>in progress</source>
        <translation>in progress</translation>
    </message>
    <message id="HISTORY_UPDATED">
        <source>updated</source>
        <translation>updated</translation>
    </message>
    <message id="HISTORY_FAILED">
        <source>failed</source>
        <translation>failed</translation>
    </message>
    <message id="HISTORY_STOPPED">
        <source>stopped waiting</source>
        <translation>stopped waiting</translation>
    </message>
    <message id="HISTORY_REFUSED">
        <source>refused</source>
        <translation>refused</translation>
    </message>
    <message id="HISTORY_FRONT_END_WINDOW">
        <source>window</source>
        <translation>window</translation>
    </message>
    <message id="HISTORY_TITLE">
        <source>Update History</source>
        <translation>Update History</translation>
    </message>
    <message id="HISTORY_COLUMN_TIME">
        <source>Time</source>
        <translation>Time</translation>
    </message>
    <message id="HISTORY_COLUMN_DRIVE">
        <source>Drive</source>
        <translation>Drive</translation>
    </message>
    <message id="HISTORY_COLUMN_MODEL">
        <source>Model</source>
        <translation>Model</translation>
    </message>
    <message id="HISTORY_COLUMN_REVISION">
        <source>Revision</source>
        <translation>Revision</translation>
    </message>
    <message id="HISTORY_COLUMN_IMAGE">
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message id="HISTORY_COLUMN_RESULT">
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message id="HISTORY_COLUMN_FRONT_END">
        <source>Run from</source>
        <translation>Run from</translation>
    </message>
    <message id="HISTORY_COLUMN_MESSAGE">
        <source>Message</source>
        <translation>Message</translation>
    </message>
    <message id="HISTORY_TABLE_NAME">
        <source>Recorded updates</source>
        <translation>Recorded updates</translation>
    </message>
    <message id="HISTORY_REVISIONS">
        <source>%1 → %2</source>
        <translation>%1 → %2</translation>
    </message>
    <message id="HISTORY_COUNT">
        <source>Updates recorded: %1</source>
        <translation>Updates recorded: %1</translation>
    </message>
    <message id="HISTORY_SKIPPED">
        <source>unreadable lines skipped: %1</source>
        <translation>unreadable lines skipped: %1</translation>
    </message>
    <message id="ACCESSIBLE_PROGRESS">
        <source>Update progress</source>
        <translation>Update progress</translation>
    </message>
    <message id="ACCESSIBLE_DRIVE_DETAILS">
        <source>The chosen drive</source>
        <translation>The chosen drive</translation>
    </message>
</context>
</TS>
