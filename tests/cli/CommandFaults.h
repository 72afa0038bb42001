#pragma once
// trivelctl's commands run in-process against boxes that fail: silent, closed or answering with a
// wrong code after N replies, replies split in two TCP segments, half a reply and then nothing.
// The segmented boxes sit behind the product's own TCP transport on a socket pair, so its
// reassembly is what is tested.

#include "cli/Bootstrap.h"
#include "cli/Commands.h"
#include "link/Clock.h"
#include "link/TcpTransport.h"
#include "protocol/Frame.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"

#include <QRegularExpression>
#include <QSocketNotifier>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace trivel::test {

enum class Fault {
    None,
    Silent,
    Close,
    WrongCode,
    Split, // every reply in two segments, the second 50 ms after the first
    HalfThenSilent, // after N whole replies, the first segment of the next and then nothing
};

inline const char* FaultName(Fault f)
{
    switch (f) {
    case Fault::None:
        return "none";
    case Fault::Silent:
        return "silent";
    case Fault::Close:
        return "close";
    case Fault::WrongCode:
        return "wrong-code";
    case Fault::Split:
        return "split";
    case Fault::HalfThenSilent:
        return "half-then-silent";
    }
    return "?";
}

// The box behind the link a run opens: after `after` replies it stops answering, hangs up, or
// sends its next reply with a code no request has.
class FaultyBox : public FakeBoxTransport {
public:
    FaultyBox(sim::BoxModel& model, Fault fault, int after, int& replies, std::vector<std::string>& logOut)
        : FakeBoxTransport(model)
        , m_fault(fault)
        , m_after(after)
        , m_replies(replies)
        , m_logOut(logOut)
    {
        tamper = [this](std::vector<std::uint8_t>& r) {
            if (m_fault == Fault::WrongCode && m_replies == m_after && r.size() >= 8)
                FrameView(r.data(), r.size()).setCode(0xFFFF);
            ++m_replies;
        };
    }

    // The link owns its transport and ends it with the run.
    ~FaultyBox() override { m_logOut = log; }

    void sendFrame(const FrameBuffer& request) override
    {
        if ((m_fault == Fault::Silent || m_fault == Fault::Close) && m_replies >= m_after) {
            silent = true;
            if (m_fault == Fault::Close && !m_closed) {
                m_closed = true;
                QMetaObject::invokeMethod(
                    this, [this] { emit linkLost(QStringLiteral("closed by the box")); },
                    Qt::QueuedConnection);
            }
        }
        FakeBoxTransport::sendFrame(request);
    }

private:
    Fault m_fault;
    int m_after;
    int& m_replies;
    std::vector<std::string>& m_logOut;
    bool m_closed = false;
};

// A box behind the product's own TCP transport, over a socket pair: the transport reassembles
// the segments as it does from a real socket. Each reply goes out as 200 bytes and, 50 ms later
// on the virtual clock, the other 312; with HalfThenSilent the reply after `after` stops at its
// first segment.
class SegmentedBox : public QObject {
public:
    static constexpr std::size_t kFirstSegment = 200;
    static constexpr int kGapMs = 50;

    SegmentedBox(sim::BoxModel& model, VirtualClock& clock, Fault fault, int after, int& replies,
        std::vector<std::string>& log, int fd)
        : m_brain(new FaultyBox(model, Fault::None, 0, replies, log))
        , m_clock(clock)
        , m_fault(fault)
        , m_after(after)
        , m_fd(fd)
        , m_notifier(fd, QSocketNotifier::Read)
    {
        m_brain->delivery = Delivery::Synchronous;
        m_brain->setReplySink([this](const std::uint8_t* b, std::size_t n, bool) { send(b, n); });
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readRequests(); });
    }
    ~SegmentedBox() override
    {
        m_notifier.setEnabled(false);
        m_rest.reset();
        ::close(m_fd);
    }

private:
    void readRequests()
    {
        for (;;) {
            const ssize_t n
                = ::recv(m_fd, m_request.data() + 1 + m_have, kTcpFrameSize - m_have, MSG_DONTWAIT);
            if (n <= 0) {
                if (n == 0)
                    m_notifier.setEnabled(false);
                return;
            }
            m_have += std::size_t(n);
            if (m_have < kTcpFrameSize)
                continue;
            m_have = 0;
            m_brain->sendFrame(m_request);
        }
    }
    void send(const std::uint8_t* b, std::size_t n)
    {
        m_outbox.emplace_back(b, b + n);
        if (!m_rest)
            sendFront();
    }
    // Replies keep their order: the next reply's first segment waits behind this one's rest.
    void sendFront()
    {
        if (m_stopped || m_outbox.empty())
            return;
        std::vector<std::uint8_t> bytes = std::move(m_outbox.front());
        m_outbox.pop_front();
        const bool last = m_fault == Fault::HalfThenSilent && m_sent == m_after;
        ++m_sent;
        const std::size_t first = std::min(bytes.size(), kFirstSegment);
        write(bytes.data(), first);
        if (last) {
            m_stopped = true;
            return;
        }
        m_rest = m_clock.singleShot(kGapMs, DelayKind::Sleep,
            [this, rest = std::vector<std::uint8_t>(bytes.begin() + qsizetype(first), bytes.end())] {
                write(rest.data(), rest.size());
                m_rest.reset();
                sendFront();
            });
    }
    void write(const std::uint8_t* p, std::size_t n)
    {
        while (n > 0) {
            const ssize_t w = ::send(m_fd, p, n, MSG_NOSIGNAL);
            if (w <= 0)
                return;
            p += w;
            n -= std::size_t(w);
        }
    }

    // Owned here, not by the link: the link holds the TCP transport.
    std::unique_ptr<FaultyBox> m_brain;
    VirtualClock& m_clock;
    Fault m_fault;
    int m_after;
    int m_fd;
    QSocketNotifier m_notifier;
    FrameBuffer m_request{};
    std::size_t m_have = 0;
    int m_sent = 0;
    bool m_stopped = false;
    std::deque<std::vector<std::uint8_t>> m_outbox;
    std::unique_ptr<ClockTimer> m_rest; // the second segment of the reply going out
};

struct Outcome {
    int exitCode = -1;
    int repliesBeforeDecision = -1; // the replies the command's result rests on
    bool hung = false;
    std::vector<std::string> log; // every request of the run, disconnect included
    QString err; // what the run printed on stderr
};

// Takes what is written to stderr (fd 2) while it lives.
class StderrCapture {
public:
    StderrCapture()
        : m_file(std::tmpfile())
    {
        std::fflush(stderr);
        m_saved = ::dup(2);
        if (m_file)
            ::dup2(::fileno(m_file), 2);
    }
    ~StderrCapture() { take(); }
    QString take()
    {
        if (!m_file)
            return {};
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        std::rewind(m_file);
        QByteArray bytes;
        char chunk[4096];
        std::size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, m_file)) > 0)
            bytes.append(chunk, qsizetype(n));
        std::fclose(m_file);
        m_file = nullptr;
        return QString::fromLocal8Bit(bytes);
    }

private:
    std::FILE* m_file;
    int m_saved = -1;
};

// The lines that tell of a silent or lost link. A failure is said once, and the core's own
// diagnostic lines ("trivel.link: ...") are for --verbose only.
inline int LinkFailureLines(const QString& err)
{
    static const QRegularExpression said(
        QStringLiteral("no reply|lost|closed"), QRegularExpression::CaseInsensitiveOption);
    int n = 0;
    for (const QString& line : err.split('\n'))
        n += line.contains(said);
    return n;
}
inline bool HasInternalLines(const QString& err)
{
    static const QRegularExpression internal(
        QStringLiteral("^trivel\\.\\w+: "), QRegularExpression::MultilineOption);
    return err.contains(internal);
}

inline bool Segmented(Fault f)
{
    return f == Fault::Split || f == Fault::HalfThenSilent;
}

inline Outcome RunOn(sim::BoxModel& model, const QStringList& args, Fault fault = Fault::None, int after = 0)
{
    VirtualClock clock;
    Outcome o;
    int replies = 0;
    std::unique_ptr<SegmentedBox> segmented;
    cli::BoxEnv env;
    env.clock = &clock;
    env.opener = [&](const QString&, quint16, QString*) -> std::unique_ptr<Transport> {
        if (Segmented(fault)) {
            int fds[2];
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
                return nullptr;
            segmented = std::make_unique<SegmentedBox>(model, clock, fault, after, replies, o.log, fds[1]);
            auto tcp = std::make_unique<TcpTransport>();
            tcp->adopt(fds[0]);
            return tcp;
        }
        auto box = std::make_unique<FaultyBox>(model, fault, after, replies, o.log);
        box->useClock(&clock);
        return box;
    };
    // The replies a disconnect's neutral state gets are no part of the command's work.
    int atClosing = -1;
    env.closing = [&] {
        if (atClosing < 0)
            atClosing = replies;
    };
    env.decided
        = [&](int) { o.repliesBeforeDecision = atClosing >= 0 ? std::min(atClosing, replies) : replies; };
    env.hung = [&] { o.hung = true; };
    StderrCapture capture;
    o.exitCode = cli::RunCommandLine(QStringList{"--tcp", "box"} + args, env);
    segmented.reset();
    o.err = capture.take();
    return o;
}

} // namespace trivel::test
