#pragma once
// The Firmware Update page's handlers and the three download procedures (PendingOp 201-205,
// 230-233, 300-304). They take the session, so the page, trivelctl and tests drive them alike.

#include "firmware/FirmwareState.h"

#include <QString>

namespace trivel {

class Session;

// BtnLoadClick after the file dialog confirmed `path`: loads it, shows it in FileLabel and runs
// ShowImageInfo. A file that cannot be loaded leaves the image empty.
void LoadFirmwareFile(Session& s, const QString& path);
// Size, date and checksum of the chosen file on the page.
void ShowImageInfo(Session& s);
// ProgBtnClick: checks the image and starts the procedure that fits it.
void ProgBtnClick(Session& s);

// The reply-handler step of every firmware PendingOp value.
void FirmwareStep(Session& s, int op);

// Ends a running procedure that can no longer finish (no reply, link closed): PendingOp 0, the
// bar stays where it stopped, the message says so and ProgBtn may start again.
void AbortFirmwareUpdate(Session& s, FirmwareOutcome outcome, const QString& why);
// Called when the link closes; ends an update still running.
void FirmwareLinkClosed(Session& s);

inline const QString kFirmwareNoReply
    = QStringLiteral("Firmware update did not complete: no reply from the box.");
inline const QString kFirmwareLinkClosed
    = QStringLiteral("Firmware update did not complete: the connection to the box was closed.");

} // namespace trivel
