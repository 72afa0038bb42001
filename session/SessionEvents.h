#pragma once
// What the core tells the pages: they connect to these signals instead of each page adding a
// hook to the UI port. Emitted on the main thread, inside the step or handler that caused it.

#include <QObject>

namespace trivel {

class SessionEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // Refill every page from the caches of the current window.
    void refreshPages();
    // Refill the blend pages (their region and corner selections included).
    void refreshBlendPages();
    // The warp re-read has ended: show the selected point's offsets.
    void warpPointValuesChanged();
    // A window button was clicked by code (the read-back's end, the Ctrl+Alt shortcuts): the
    // window selection of the settings pages takes it from here.
    void windowButtonClicked(int tag);
    // The read-back has ended (FinishReadback), or, with Session::IdentifyOnly, the model reply has
    // been handled. Emitted last, when nothing of the exchange is left to do.
    void readbackFinished();
    // The transfer of a loaded setting file moved on to another part (TransferPhase of
    // files/SettingTransfer.h) of `window` (0..3), one of the `windows` it sends.
    void settingTransferStep(int phase, int window, int windows);
    // The Connected bit of SessionFlags changed: a link to the box was opened or closed.
    void connectedChanged(bool connected);
    // The link closes now, or once a disconnect's last requests are out: work that needs the box
    // to the end gives up.
    void linkClosing();
    // The Identify reply was refused (controller firmware too old, main board error); emitted
    // before the message says so.
    void boxRejected();
    // The box restarts (firmware update, network change) and drops a TCP link: disconnect as the
    // Connect button does. The connection handles it before emit returns.
    void disconnectRequested();
};

} // namespace trivel
