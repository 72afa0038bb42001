#include "registers/pages/RegisterPage.h"

#include "registers/Controls.h"
#include "registers/Registers.h"
#include "session/Operations.h"
#include "session/Session.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace trivel {

namespace {

// Enter in a cell's editor is RegGridKeyPress before the edit is committed, so the commit
// writes the register; leaving the cell otherwise only changes the grid.
class EnterCommitsDelegate : public QStyledItemDelegate {
public:
    EnterCommitsDelegate(Registers& registers, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_registers(registers)
    {
    }

protected:
    bool eventFilter(QObject* editor, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                m_registers.noteEnter();
        }
        return QStyledItemDelegate::eventFilter(editor, event);
    }

private:
    Registers& m_registers;
};

QLabel* Text(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

} // namespace

RegisterPage::RegisterPage(Session& s, Registers& registers, QWidget* parent)
    : PageWidget(s, parent)
    , m_registers(registers)
{
    // 17 x 9 with row 0 and column 0 as fixed headers, as the grid was laid out.
    m_grid = new QTableWidget(9, 17, this);
    m_grid->setObjectName(ctl::RegGrid.qname());
    m_grid->setGeometry(8, 8, 17 * 26 + 4, 9 * 24 + 4);
    m_grid->horizontalHeader()->hide();
    m_grid->verticalHeader()->hide();
    m_grid->horizontalHeader()->setDefaultSectionSize(26);
    m_grid->verticalHeader()->setDefaultSectionSize(24);
    m_grid->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setItemDelegate(new EnterCommitsDelegate(registers, m_grid));
    m_painting = true;
    for (int c = 0; c < 17; ++c)
        for (int r = 0; r < 9; ++r) {
            auto* item = new QTableWidgetItem();
            if (r == 0 || c == 0) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(palette().button());
                if (r == 0 && c > 0)
                    item->setText(QStringLiteral("%1").arg(c - 1, 2, 16, QLatin1Char('0')).toUpper());
                else if (c == 0 && r > 0)
                    item->setText(QStringLiteral("%1").arg(r - 1, 2, 16, QLatin1Char('0')));
            }
            m_grid->setItem(r, c, item);
        }
    m_painting = false;
    for (int a = 0; a < kRegisterCount; ++a)
        showCell(a);
    m_registers.grid().cellChanged = [this](int address) { showCell(address); };

    connect(m_grid, &QTableWidget::cellChanged, this, [this](int row, int col) {
        if (!m_painting)
            m_registers.editCell(col, row, m_grid->item(row, col)->text());
    });
    connect(m_grid, &QTableWidget::currentCellChanged, this,
        [this](int row, int col) { m_registers.selectCell(col, row); });
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int col) {
        if (RegisterAddress(col, row) >= 0)
            Launch(m_s, m_registers.readSelected());
    });

    const int x = 470;
    Text(this, QStringLiteral("Bank"), QRect(x, 8, 50, 20));
    build::Make<QLabel>(this, ctl::STBank, QStringLiteral("0x00"), QRect(x + 54, 8, 90, 20));
    Text(this, QStringLiteral("Addr"), QRect(x, 30, 50, 20));
    build::Make<QLabel>(this, ctl::STAddr, QStringLiteral("0x00"), QRect(x + 54, 30, 90, 20));
    Text(this, QStringLiteral("Value"), QRect(x, 52, 50, 20));
    build::Make<QLabel>(this, ctl::STValue, QStringLiteral("0x00"), QRect(x + 54, 52, 90, 20));
    build::Make<QLabel>(this, ctl::STRaw2Bytes, QStringLiteral("0"), QRect(x, 82, 160, 20));
    build::Make<QLabel>(this, ctl::STDec2Bytes, QStringLiteral("0"), QRect(x, 102, 160, 20));
    build::Make<QLabel>(this, ctl::STRaw4Bytes, QStringLiteral("0"), QRect(x, 126, 160, 20));
    build::Make<QLabel>(this, ctl::STDec4Bytes, QStringLiteral("0"), QRect(x, 146, 160, 20));
    auto* edit = build::Make<QLineEdit>(this, ctl::EdIntToHex, QString(), QRect(x, 176, 150, 24));
    build::Make<QLabel>(this, ctl::STIntToHex, QStringLiteral("00000000"), QRect(x, 204, 160, 20));
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { m_registers.showHex(t); });
    for (int b = 7; b >= 0; --b) {
        auto* box = build::Make<QCheckBox>(
            this, ctl::CBBits[std::size_t(b)], QString::number(b), QRect(8 + (7 - b) * 44, 236, 40, 20));
        box->setProperty("Tag", 1 << b);
        connect(box, &QCheckBox::clicked, this, [this, b](bool on) { m_registers.setBit(b, on); });
    }

    auto* read = build::Make<QPushButton>(
        this, ctl::BtnReadBank, QStringLiteral("Read Current Bank"), QRect(8, 268, 160, 30));
    connect(read, &QPushButton::clicked, this, [this] { Launch(m_s, m_registers.readBank()); });
    auto* b3 = build::Make<QPushButton>(
        this, ctl::TntButton3, QStringLiteral("TntButton3"), QRect(180, 268, 110, 30));
    connect(b3, &QPushButton::clicked, this, [this] { m_registers.sendTestRequest(); });
}

RegisterPage::~RegisterPage()
{
    m_registers.grid().cellChanged = nullptr;
}

void RegisterPage::showCell(int address)
{
    if (address < 0 || address >= kRegisterCount)
        return;
    QTableWidgetItem* item = m_grid->item(address / 16 + 1, address % 16 + 1);
    const QString& text = m_registers.grid().Cells[std::size_t(address)];
    if (!item || item->text() == text)
        return;
    m_painting = true;
    item->setText(text);
    m_painting = false;
}

} // namespace trivel
