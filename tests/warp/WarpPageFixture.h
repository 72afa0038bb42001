#pragma once
// The main window with the Warp Adjust page on a virtual clock, connected to the box model.

#include "box/Box.h"
#include "app/AppFixture.h"


#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trivel::test {

using Log = std::vector<std::string>;

struct WarpPage : AppFixture {
    FakeBoxTransport* link = nullptr;

    WarpPage()
    {
        link = &connectFakeBox();
        s.PageEnabled[Page::WarpAdjust] = true;
    }

    void settle()
    {
        // A table transfer takes some ninety turns.
        RunUntilIdle(s, 50, 5000);
    }

    void click(const char* name)
    {
        QAbstractButton* b = find<QAbstractButton>(name);
        ASSERT_TRUE(b) << name;
        b->click();
        settle();
    }

    // Enters a mode with its whole chain, then forgets the traffic.
    void enter(const char* button)
    {
        click(button);
        ASSERT_FALSE(s.busy());
        link->clearLog();
        clock.clearWaits();
    }

    QString label(const char* name) { return find<QLabel>(name)->text(); }
    WarpModel& model() { return s.box->warp.state().model[0]; }
    std::array<PointOffset, kControlPoints>& offsets() { return s.box->warp.adjust().ControlOffsets[0]; }

    // Control points the cursor frames (0x2007) showed, in order.
    std::vector<int> cursorFrames() const
    {
        std::vector<int> points;
        for (const auto& f : link->sent)
            if (FrameView(const_cast<std::uint8_t*>(f.data()), f.size()).code() == Cmd::ControlCursor)
                points.push_back(f[9]);
        return points;
    }

    // Answers the next message box with `button` and keeps its text.
    // Answers the next message box with `button` and keeps its text; the box may come up
    // only after some replies have been handled.
    void answerNextMessage(QMessageBox::StandardButton button, QString* text = nullptr)
    {
        auto* poll = new QTimer(&form);
        poll->setInterval(0);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, button, text] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (text)
                *text = box->text();
            poll->deleteLater();
            poll->stop();
            box->button(button)->click();
        });
        poll->start();
    }
};

inline QStringList MemoLines(const UiPort& ui, const QString& prefix)
{
    QStringList out;
    for (const QString& l : ui.memo())
        if (l.startsWith(prefix))
            out << l;
    return out;
}

} // namespace trivel::test
