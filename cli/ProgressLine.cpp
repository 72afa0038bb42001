#include "cli/ProgressLine.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace trivel::cli {

ProgressLine::Output ProgressLine::StandardError()
{
    Output o;
    o.terminal = isatty(fileno(stderr)) != 0;
    o.write = [](const QByteArray& bytes) {
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
    };
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    o.nowMs = [timer] { return timer->elapsed(); };
    return o;
}

ProgressLine::ProgressLine(QString label, qint64 total, QString unit, Output out)
    : m_label(std::move(label))
    , m_total(std::max<qint64>(total, 0))
    , m_unit(std::move(unit))
    , m_out(std::move(out))
    , m_start(m_out.nowMs())
{
}

ProgressLine::~ProgressLine()
{
    finish();
}

void ProgressLine::setTotal(qint64 total)
{
    m_total = std::max<qint64>(total, 0);
}

QString ProgressLine::render(qint64 done, const QString& step, qint64 elapsedMs) const
{
    const qint64 total = std::max<qint64>(m_total, 1);
    done = std::clamp<qint64>(done, 0, total);
    const int percent = int(done * 100 / total);
    constexpr int kWidth = 24;
    const int filled = int(done * kWidth / total);
    QString line
        = QStringLiteral("%1: [%2%3] %4%  %5/%6 %7")
              .arg(m_label, QString(filled, QLatin1Char('#')), QString(kWidth - filled, QLatin1Char('-')))
              .arg(percent, 3)
              .arg(done)
              .arg(m_total)
              .arg(m_unit);
    // The rate and the time left once there is something to measure them by.
    if (done > 0 && elapsedMs > 0) {
        const double perSecond = double(done) * 1000.0 / double(elapsedMs);
        line += m_unit == QLatin1String("bytes")
            ? QStringLiteral("  %1 KiB/s").arg(perSecond / 1024.0, 0, 'f', 1)
            : QStringLiteral("  %1/s").arg(perSecond, 0, 'f', 1);
        const qint64 left = qint64(double(total - done) / perSecond + 0.5);
        line += QStringLiteral("  %1:%2 left").arg(left / 60).arg(left % 60, 2, 10, QLatin1Char('0'));
    } else {
        line += QStringLiteral("  -:-- left");
    }
    if (!step.isEmpty())
        line += QStringLiteral("  ") + step;
    return line;
}

void ProgressLine::update(qint64 done, const QString& step)
{
    // The rate counts from the first update, not from the connect before it.
    if (m_done < 0)
        m_start = m_out.nowMs();
    // A count that went down (a phase that restarted its own count) shows the furthest point.
    done = std::max(done, m_done);
    m_done = done;
    const qint64 total = std::max<qint64>(m_total, 1);
    const int percent = int(std::clamp<qint64>(done, 0, total) * 100 / total);
    const qint64 now = m_out.nowMs();
    // On a terminal the rate and time left are kept fresh between percents.
    const bool stale = m_out.terminal && now - m_drawnAt >= 1000;
    if (percent == m_percent && step == m_step && !stale)
        return;
    m_percent = percent;
    m_step = step;
    m_drawnAt = now;
    const QString text = render(done, step, now - m_start);
    if (m_out.terminal) {
        // Padded, so a shorter line covers a longer one drawn before it.
        m_out.write(("\r" + text.leftJustified(100)).toLocal8Bit());
        m_open = true;
    } else {
        m_out.write((text + "\n").toLocal8Bit());
    }
}

QString TransferStepText(const TransferPoint& p)
{
    using Phase = TransferPoint::Phase;
    switch (p.phase) {
    case Phase::Starting:
        return QStringLiteral("starting");
    case Phase::MaskSlots:
        return QStringLiteral("mask slots");
    case Phase::Window:
        if (p.window + 1 == p.ordinal)
            return QStringLiteral("window %1 of %2").arg(p.ordinal).arg(p.windows);
        return QStringLiteral("window %1 (%2 of %3)").arg(p.window + 1).arg(p.ordinal).arg(p.windows);
    case Phase::ReadBack:
        return QStringLiteral("read-back");
    case Phase::Done:
        return QStringLiteral("done");
    }
    return {};
}

void ProgressLine::finish()
{
    if (m_open)
        m_out.write("\n");
    m_open = false;
}

} // namespace trivel::cli
