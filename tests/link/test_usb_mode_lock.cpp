// Only one running instance may use the USB transport: the lock between two processes.

#include "FakeHid.h"
#include "LinkTestSupport.h"
#include "link/UsbModeLock.h"
#include "box/Connection.h"
#include "support/Controls.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace trivel::test {
namespace {

// Starts the holder program; returns its first line ("held" or "busy").
QString startHolder(QProcess& p, const QString& dir)
{
    p.start(QStringLiteral(USB_LOCK_HOLDER), {dir});
    if (!p.waitForStarted(5000) || !p.waitForReadyRead(5000))
        return {};
    return QString::fromLatin1(p.readLine()).trimmed();
}

void selectUsb(LinkSession& ls, Connection& conn)
{
    ls.ui.setChecked(ctl::RBTCP, false);
    ls.ui.setChecked(ctl::RBUSB, true);
    conn.RBUSBClick();
}

TEST(UsbModeLock, SecondInstanceFallsBackToTcpUntilTheFirstSelectsTcp)
{
    QTemporaryDir dir;
    QProcess first;
    ASSERT_EQ(startHolder(first, dir.path()), "held");

    LinkSession ls;
    sim::BoxModel box;
    Connection conn(ls.s, std::make_unique<FakeHidBackend>(std::make_shared<FakeHidState>(box)), dir.path());
    conn.startUp();
    selectUsb(ls, conn);
    ASSERT_EQ(ls.ui.messages.size(), 1u);
    EXPECT_EQ(ls.ui.messages[0].text, "USB mode already used by another programe!! ");
    EXPECT_TRUE(ls.ui.isChecked(ctl::RBTCP));
    EXPECT_FALSE(ls.ui.isChecked(ctl::RBUSB));
    EXPECT_TRUE(ls.ui.isEnabled(ctl::ConnectAddressBox));
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2));
    EXPECT_FALSE(conn.usbModeLock().held());

    first.write("release\n");
    ASSERT_TRUE(first.waitForFinished(5000));
    EXPECT_EQ(first.exitCode(), 0);

    selectUsb(ls, conn);
    EXPECT_EQ(ls.ui.messages.size(), 1u);
    EXPECT_TRUE(conn.usbModeLock().held());
    EXPECT_FALSE(ls.ui.isEnabled(ctl::ConnectAddressBox));
    EXPECT_TRUE(ls.ui.isEnabled(ctl::BtnCnt2)); // the enumeration found the box
    selectUsb(ls, conn); // clicking USB again while holding the lock is no conflict
    EXPECT_EQ(ls.ui.messages.size(), 1u);

    QProcess other;
    EXPECT_EQ(startHolder(other, dir.path()), "busy");
    other.waitForFinished(5000);

    ls.ui.setChecked(ctl::RBUSB, false);
    ls.ui.setChecked(ctl::RBTCP, true);
    conn.RBTCPClick();
    EXPECT_FALSE(conn.usbModeLock().held());
    QProcess third;
    EXPECT_EQ(startHolder(third, dir.path()), "held");
    third.write("\n");
    third.waitForFinished(5000);
}

TEST(UsbModeLock, AHolderThatDiesReleasesIt)
{
    QTemporaryDir dir;
    QProcess holder;
    ASSERT_EQ(startHolder(holder, dir.path()), "held");
    UsbModeLock mine(dir.path());
    EXPECT_FALSE(mine.tryAcquire());
    holder.kill();
    ASSERT_TRUE(holder.waitForFinished(5000));
    EXPECT_TRUE(mine.tryAcquire());
    EXPECT_TRUE(mine.held());
    mine.release();
    EXPECT_FALSE(mine.held());
}

} // namespace
} // namespace trivel::test
