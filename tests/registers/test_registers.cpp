// The chip register page: commits, bit boxes, views, reads, against the box model.

#include "app/AppFixture.h"
#include "registers/Controls.h"
#include "box/Box.h"
#include "registers/Registers.h"
#include "session/Session.h"
#include "session/Session.h"
#include "sim/BoxModel.h"
#include "support/FakeBoxTransport.h"
#include "support/RecordingUi.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace trivel::test {
namespace {

class RegisterService : public ::testing::Test {
protected:
    VirtualClock clock;
    RecordingUi ui;
    Box tool{clock, ui};
    Session& s = tool.session;
    trivel::Registers& regs = tool.registers;
    RegisterState& grid = regs.grid();
    sim::BoxModel box;
    FakeBoxTransport link{box};

    RegisterService()
    {
        link.delivery = Delivery::Synchronous;
        link.attach(s);
        regs.reset();
    }
    ~RegisterService() override { s.setTransport(nullptr); }

    const std::vector<std::uint8_t>& lastSent() const { return link.sent.back(); }
    QString cell(int address) const { return grid.Cells[std::size_t(address)]; }
    void type(int col, int row, const QString& text)
    {
        regs.editCell(col, row, text); // the editor's text while typing
        regs.noteEnter();
        regs.editCell(col, row, text);
    }
};

TEST_F(RegisterService, EnterCommitsAHexValueWithinAByte)
{
    const struct {
        const char* typed;
        const char* shown;
        std::uint8_t written;
    } cases[] = {{"5", "05", 5}, {"1ff", "00", 0}, {"zz", "00", 0}, {"ab", "AB", 0xAB}, {"", "00", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        link.clearLog();
        type(3, 2, QString::fromLatin1(c.typed));
        EXPECT_EQ(cell(0x12), c.shown);
        ASSERT_EQ(link.sentCodes.size(), 1u);
        EXPECT_EQ(link.sentCodes[0], Cmd::RegisterWrite);
        EXPECT_EQ(lastSent()[9], 1);
        EXPECT_EQ(lastSent()[32], 0x12);
        EXPECT_EQ(lastSent()[33], c.written);
        EXPECT_EQ(box.registerValue(0, 0, 0x12), c.written);
        EXPECT_FALSE(s.busy());
        EXPECT_FALSE(grid.EditCommitted);
    }
    // Without Enter the text only sits in the grid.
    link.clearLog();
    regs.editCell(4, 2, "7");
    EXPECT_TRUE(link.sentCodes.empty());
    EXPECT_EQ(cell(0x13), "7");
}

TEST_F(RegisterService, BitBoxRewritesTheSelectedRegister)
{
    type(3, 2, "3C");
    regs.selectCell(3, 2);
    EXPECT_TRUE(ui.isChecked(ctl::CBBits[5]));
    EXPECT_FALSE(ui.isChecked(ctl::CBBits[7]));
    link.clearLog();
    regs.setBit(7, true);
    EXPECT_EQ(cell(0x12), "BC");
    ASSERT_EQ(link.sentCodes.size(), 1u);
    EXPECT_EQ(lastSent()[33], 0xBC);
    regs.setBit(2, false);
    EXPECT_EQ(cell(0x12), "B8");
    // A selection that checks the boxes sends nothing.
    link.clearLog();
    grid.Selecting = true;
    regs.setBit(0, true);
    EXPECT_TRUE(link.sentCodes.empty());
}

TEST_F(RegisterService, ViewsWrapFromTheLastCellToTheBankCell)
{
    grid.Cells[0x7E] = "7E";
    grid.Cells[0x7F] = "7F";
    grid.Cells[0x00] = "01";
    grid.Cells[0x01] = "A2";
    regs.selectCell(15, 8);
    EXPECT_EQ(ui.caption(ctl::STAddr), "0x7E");
    EXPECT_EQ(ui.caption(ctl::STValue), "0x7E");
    EXPECT_EQ(ui.caption(ctl::STBank), "0x01");
    EXPECT_EQ(ui.caption(ctl::STRaw2Bytes), "7F 7E");
    EXPECT_EQ(ui.caption(ctl::STDec2Bytes), QString::number(0x7F7E));
    EXPECT_EQ(ui.caption(ctl::STRaw4Bytes), "A2 01 7F 7E");
    EXPECT_EQ(ui.caption(ctl::STDec4Bytes), QString::number(0xA2017F7Eu));
}

TEST_F(RegisterService, ReadsFillTheCellsOfTheAddressesAnswered)
{
    box.replyHook = [](std::uint32_t code, std::vector<std::uint8_t>& r) {
        if (code == Cmd::RegisterRead)
            for (std::size_t k = 0; k < r[9]; ++k)
                r[33 + 2 * k] = std::uint8_t(r[32 + 2 * k] ^ 0xA5);
        return true;
    };
    grid.Cells[0] = "02";
    const Operation<void> read = regs.readBank();
    EXPECT_TRUE(read.succeeded());
    FrameView req(link.sent.back().data(), link.sent.back().size());
    EXPECT_EQ(req.u8(9), 128);
    EXPECT_EQ(req.u8(10), 2);
    EXPECT_EQ(req.u8(32 + 2 * 127), 127);
    for (int a = 0; a < 128; ++a)
        EXPECT_EQ(cell(a), QStringLiteral("%1").arg(a ^ 0xA5, 2, 16, QLatin1Char('0')).toUpper()) << a;
    EXPECT_FALSE(s.busy());
    EXPECT_FALSE(grid.ReadPending);

    // Count 1: only the selected cell.
    for (auto& c : grid.Cells)
        c = "00";
    grid.Cells[0] = "00";
    regs.selectCell(5, 3); // 0x24
    EXPECT_TRUE(regs.readSelected().succeeded());
    for (int a = 0; a < 128; ++a)
        EXPECT_EQ(cell(a), a == 0x24 ? "81" : "00") << a;
}

TEST_F(RegisterService, ACountBeyondTheFrameFillsOnlyThePairsInIt)
{
    // The reply buffer beyond the frame holds stale bytes of an earlier, longer frame.
    FrameView stale = s.reply();
    for (std::size_t k = 0; k < 255; ++k) {
        stale.put8(32 + 2 * k, 9);
        stale.put8(33 + 2 * k, 0xEE);
    }
    box.replyHook = [](std::uint32_t code, std::vector<std::uint8_t>& r) {
        if (code == Cmd::RegisterRead) {
            r[9] = 255;
            for (std::size_t k = 0; 33 + 2 * k < r.size(); ++k) {
                r[32 + 2 * k] = k == 3 ? 200 : 7; // 200: no cell
                r[33 + 2 * k] = 0x11;
            }
        }
        return true;
    };
    const Operation<void> read = regs.readSelected();
    EXPECT_TRUE(read.succeeded());
    EXPECT_EQ(cell(7), "11");
    EXPECT_EQ(cell(9), "00") << "stale bytes beyond the frame were read as pairs";
    EXPECT_FALSE(s.busy());
}

TEST_F(RegisterService, WriteReplyRereadsWhileAReadIsPending)
{
    regs.selectCell(2, 1); // 0x01
    grid.ReadPending = true;
    link.clearLog();
    const Operation<void> write = regs.write(0x01, 0x33);
    EXPECT_TRUE(write.succeeded());
    ASSERT_EQ(link.sentCodes.size(), 2u);
    EXPECT_EQ(link.sentCodes[0], Cmd::RegisterWrite);
    EXPECT_EQ(link.sentCodes[1], Cmd::RegisterRead);
    EXPECT_EQ(lastSent()[32], 0x01);
    EXPECT_EQ(cell(0x01), "33");
}

TEST_F(RegisterService, ConverterShowsHexOfASigned64BitNumber)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"255", "000000FF"}, {"-1", "FFFFFFFFFFFFFFFF"}, {"4294967296", "100000000"},
        {"abc", "00000000"}, {"", "00000000"}};
    for (const auto& c : cases) {
        regs.showHex(QString::fromLatin1(c.in));
        EXPECT_EQ(ui.caption(ctl::STIntToHex), c.out) << c.in;
    }
}

TEST(RegisterPage, TypingAndEnterInTheGridWritesTheRegister)
{
    AppFixture f;
    auto& link = f.connectFakeBox();
    link.delivery = Delivery::Synchronous;
    auto* grid = f.find<QTableWidget>("RegGrid");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rowCount(), 9);
    EXPECT_EQ(grid->columnCount(), 17);
    EXPECT_EQ(grid->item(0, 16)->text(), "0F");
    EXPECT_EQ(grid->item(8, 0)->text(), "07");
    EXPECT_EQ(grid->item(2, 3)->text(), "00");
    EXPECT_FALSE(f.ui.isVisible(ctl::TntTabSheet6));


    grid->show();
    grid->setCurrentCell(2, 3);
    grid->editItem(grid->item(2, 3));
    auto* editor = grid->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("5");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits on a queued call
    EXPECT_EQ(grid->item(2, 3)->text(), "05");
    ASSERT_FALSE(link.sentCodes.empty());
    EXPECT_EQ(link.sentCodes.back(), Cmd::RegisterWrite);
    EXPECT_EQ(f.box.registerValue(0, 0, 0x12), 5);
}

} // namespace
} // namespace trivel::test
