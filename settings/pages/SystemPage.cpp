#include "settings/pages/SystemPage.h"

#include "widgets/IpAddressEdit.h"
#include "box/BoxCommands.h"
#include "session/Operations.h"
#include "session/Controls.h"
#include "settings/Controls.h"
#include "settings/SystemLogic.h"

#include <QLabel>

namespace trivel {

SystemPage::SystemPage(Session& s, QWidget* parent)
    : PageWidget(s, parent)
{
    // Profiles and resets are the box's own; the network fields may be filled in beforehand.
    QWidget* box = boxArea(QRect(0, 0, 312, 240));
    auto* load = build::Group(box, nullptr, QStringLiteral("Load Profile"), QRect(8, 8, 300, 64));
    auto* save = build::Group(box, nullptr, QStringLiteral("Save Profile"), QRect(8, 80, 300, 64));
    for (int i = 0; i < 5; ++i) {
        auto* l = build::Make<QPushButton>(load, ctl::ProfileLoadButtons[std::size_t(i)],
            QString::number(i + 1), QRect(10 + i * 57, 24, 51, 30));
        l->setProperty("Tag", i);
        connect(l, &QPushButton::clicked, this, [this, i] { Launch(m_s, LoadProfile(m_s, i)); });
        auto* x = build::Make<QPushButton>(save, ctl::ProfileSaveButtons[std::size_t(i)],
            QString::number(i + 1), QRect(10 + i * 57, 24, 51, 30));
        x->setProperty("Tag", i);
        connect(x, &QPushButton::clicked, this, [this, i] { Launch(m_s, SaveProfile(m_s, i)); });
    }

    auto* allReset = build::Make<QPushButton>(
        box, ctl::BtnAllReset, QStringLiteral("All Reset"), QRect(8, 160, 146, 32));
    connect(allReset, &QPushButton::clicked, this, [this] { Launch(m_s, ResetAll(m_s)); });
    auto* reboot
        = build::Make<QPushButton>(box, ctl::BtnReboot, QStringLiteral("Reboot"), QRect(162, 160, 146, 32));
    connect(reboot, &QPushButton::clicked, this, [this] { Launch(m_s, Reboot(m_s)); });
    auto* factory = build::Make<QPushButton>(
        box, ctl::FRstBtn, QStringLiteral("Do Factory Reset"), QRect(8, 200, 300, 32));
    connect(factory, &QPushButton::clicked, this, [this] { Launch(m_s, FactoryReset(m_s)); });

    auto* net = build::Group(this, &ctl::GBNet, QStringLiteral("Ethernet Config"), QRect(316, 8, 302, 224));
    auto* dhcp = build::Make<QRadioButton>(net, ctl::RBDHCP, QStringLiteral("DHCP"), QRect(16, 26, 80, 20));
    dhcp->setChecked(true);
    auto* fixed = build::Make<QRadioButton>(
        net, ctl::RBSTATICIP, QStringLiteral("Static IP"), QRect(120, 26, 100, 20));
    connect(dhcp, &QRadioButton::clicked, this, [this] { NetworkChoiceClick(m_s, true); });
    connect(fixed, &QRadioButton::clicked, this, [this] { NetworkChoiceClick(m_s, false); });
    // The address edits sit 4 px right of and 4 px above their labels.
    const Control* labels[] = {&ctl::LBIP, &ctl::LBMask, &ctl::LBGateway};
    const char* captions[] = {"IP : ", "SubNet Mask", "GateWay : "};
    const char* texts[] = {"192.168.0.100", "255.255.255.0", "192.168.0.1"};
    std::array<IpAddressEdit*, 3> edits{};
    for (int i = 0; i < 3; ++i) {
        auto* l = build::Make<QLabel>(
            net, *labels[i], QString::fromLatin1(captions[i]), QRect(16, 66 + i * 36, 90, 20));
        auto* e = new IpAddressEdit(net);
        e->setObjectName(ctl::NetworkEdits[std::size_t(i)].qname());
        e->setGeometry(l->x() + l->width() + 4, l->y() - 4, 180, 24);
        e->setText(QString::fromLatin1(texts[i]));
        edits[std::size_t(i)] = e;
    }
    auto* update
        = build::Make<QPushButton>(net, ctl::Button15, QStringLiteral("Update"), QRect(194, 180, 96, 30));
    needsBox(update);
    connect(update, &QPushButton::clicked, this, [this, dhcp, edits] {
        Button15Click(m_s, dhcp->isChecked(), {edits[0]->text(), edits[1]->text(), edits[2]->text()});
    });
}

} // namespace trivel
