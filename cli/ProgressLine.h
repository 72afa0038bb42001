#pragma once
// The one progress style of trivelctl's long commands: a bar, the percent, the count, the rate and
// the time left, and what the command is at ("window 2 of 4"). On a terminal the line is redrawn
// in place; otherwise every update is a line of its own, so a log reads as it went. The count
// never goes backwards, whatever the caller passes.

#include <QString>
#include <QtGlobal>

#include <functional>

namespace trivel::cli {

class ProgressLine {
public:
    struct Output {
        bool terminal = false;
        std::function<void(const QByteArray&)> write;
        std::function<qint64()> nowMs;
    };
    // stderr, redrawn when it is a terminal, on the real clock.
    static Output StandardError();

    // unit: what is counted ("bytes" also gives the rate in KiB/s).
    ProgressLine(QString label, qint64 total, QString unit, Output out = StandardError());
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Shown when the percent or the step changed (and at most every 100 ms on a terminal).
    void update(qint64 done, const QString& step = {});
    void setTotal(qint64 total);
    // Ends a line redrawn in place, so a message that follows starts on a line of its own.
    void finish();

    // The text of one update, without line ends.
    QString render(qint64 done, const QString& step, qint64 elapsedMs) const;

private:
    QString m_label;
    qint64 m_total;
    QString m_unit;
    Output m_out;
    qint64 m_start;
    qint64 m_done = -1;
    int m_percent = -1;
    QString m_step;
    qint64 m_drawnAt = -1;
    bool m_open = false;
};

// Where a setting transfer is, for its progress line. A window's number is the box's (1..4); the
// count is of the windows this transfer sends, so a single-window load of window 2 is "window 2
// (1 of 1)", not "2 of 2".
struct TransferPoint {
    enum class Phase { Starting, MaskSlots, Window, ReadBack, Done } phase = Phase::Starting;
    int window = 0; // 0-based
    int ordinal = 0; // 1-based, among the windows sent
    int windows = 0; // how many the transfer sends
};
QString TransferStepText(const TransferPoint& point);

} // namespace trivel::cli
