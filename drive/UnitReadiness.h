// What one TEST UNIT READY found out about a drive: a verdict of its own for each answer
// that calls for a different reaction, so that "ready" and "no answer" never look alike.
#pragma once

#include <cstdint>
#include <string>

#include "scsi/Result.h"

enum class UnitState {
    Ready,         // GOOD: a disc is in and readable
    Installing,    // NOT READY, installing firmware (04/12), with its progress
    Restarting,    // UNIT ATTENTION of any kind: reset, parameters or medium changed
    Busy,          // NOT READY, becoming ready (04/01), or BUSY / TASK SET FULL status
    NoDisc,        // NOT READY, medium not present (3A/xx): running normally, without a disc
    OtherSense,    // any other CHECK CONDITION
    NotDelivered,  // no task, not delivered, or a status that is no verdict of the drive
    Gone,          // the drive is no longer there
};

struct UnitReadiness {
    UnitState state = UnitState::NotDelivered;
    std::uint16_t progress = 0;           // Installing: what is left, 0xFFFF down to 0
    scsi::Result result{};                // the command's own result

    // The sense of a CHECK CONDITION, zeros otherwise.
    scsi::Sense sense() const { return result.checkCondition() ? result.sense : scsi::Sense{}; }

    // The drive runs its firmware normally: the install, if any, is over.
    bool operational() const { return state == UnitState::Ready || state == UnitState::NoDisc; }
    // Only a drive that says so holds a disc; an installing or silent one does not count.
    bool discPresent() const {
        return state == UnitState::Ready || (state == UnitState::Busy && sense()[12] == 0x04);
    }
};

// "Hardware Error, Internal target failure (4/44/00)": the decoded sense for people.
std::string senseText(const scsi::Sense& sense);
