#pragma once
// State of the Firmware Update page and its download procedures.

#include "firmware/FirmwareImage.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace trivel {

enum class FirmwareOutcome {
    None, // nothing run yet
    Running,
    Done, // the box confirmed the checksum
    ChecksumError, // "Process Error!!"
    BoardNotFound,
    NoReply, // a step got no answer within its allowance
    LinkClosed, // disconnected or link lost in the middle
};

struct FirmwareState {
    QString FileName; // OpenDialog1's file name: the full path
    std::vector<std::uint8_t> FirmwareImage;
    std::size_t ReadPosition = 0;
    std::uint32_t FirmwareChecksum = 0;
    qint64 UpdateStartTick = 0;
    int RetryCount = 0;
    FirmwareProcedure Procedure = FirmwareProcedure::Plain;
    // CBReset: checked and hidden, so every successful update restarts the box.
    bool ResetDevice = true;

    // ProgressBar1, as the procedures set it (colour as 0x00BBGGRR).
    qint64 BarMinimum = 0;
    qint64 BarMaximum = 100;
    qint64 BarPosition = 0;
    std::uint32_t BarColour = 0;
    int Percent = 100;

    FirmwareOutcome Outcome = FirmwareOutcome::None;
    // The box's checksum as last reported (16-bit for the short procedures).
    std::uint32_t BoxChecksum = 0;
};

} // namespace trivel
