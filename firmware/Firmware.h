#pragma once
// The Firmware Update page's service: the chosen image, its checks, and the three download
// procedures (short image, prefixed image, large image with its board query) as one operation.
// The page, trivelctl and the tests drive it alike; the bar and labels it sets are what the page
// shows.

#include "firmware/FirmwareState.h"
#include "link/Operation.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QString>

#include <cstdint>

namespace trivel {

Q_DECLARE_LOGGING_CATEGORY(lcFirmware)

class Session;

inline const QString kFirmwareNoReply
    = QStringLiteral("Firmware update did not complete: no reply from the box.");
inline const QString kFirmwareLinkClosed
    = QStringLiteral("Firmware update did not complete: the connection to the box was closed.");

class Firmware {
public:
    explicit Firmware(Session& s);
    ~Firmware();
    Firmware(const Firmware&) = delete;
    Firmware& operator=(const Firmware&) = delete;

    const FirmwareState& state() const { return m_state; }
    // CBReset (checked and hidden); trivelctl's --no-restart clears it.
    void setRestartAfterUpdate(bool on) { m_state.ResetDevice = on; }

    // The file dialog confirmed `path`: loads it, shows it in FileLabel and its size, date and
    // checksum. A file that cannot be loaded leaves the image empty.
    void loadImage(const QString& path);
    void showImageInfo();

    // ProgBtn: checks the image and starts the procedure that fits it. Nothing happens without a
    // link or while another exchange runs.
    void startUpdate();
    bool running() const { return m_state.Outcome == FirmwareOutcome::Running; }
    // The running or last download; it ends failed (already shown) unless the box confirmed it.
    const Operation<void>& update() const { return m_update; }

    // The link closes now, or once a disconnect's last requests are out: an update still running
    // ends where it is, and ProgBtn waits for the next connect.
    void linkClosing();

private:
    Operation<void> run();
    Operation<void> runShort(bool prefixed);
    Operation<void> runLarge();
    Operation<std::uint8_t> queryBoards();
    Operation<void> sendPieces(std::uint32_t code);
    Operation<void> succeed();

    // The procedure's own end without success: outcome, message, ProgBtn back; then the
    // operation ends failed.
    [[noreturn]] void failWith(FirmwareOutcome outcome, const QString& text);
    // An update that cannot finish (no reply, link closed): the bar stays where it stopped.
    void abort(FirmwareOutcome outcome, const QString& why, bool startEnabled);
    void disableOtherOperations();

    void setBarColour(std::uint32_t bgr);
    void setBar(qint64 position, bool percent = true);
    void barToEnd();
    void startButton(bool enabled);
    std::uint32_t imageSize() const { return std::uint32_t(m_state.FirmwareImage.size()); }

    Session& m_s;
    FirmwareState m_state;
    Operation<void> m_update;
    QMetaObject::Connection m_linkClosing;
};

} // namespace trivel
