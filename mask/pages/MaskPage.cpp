#include "mask/pages/MaskPage.h"

#include "mask/Controls.h"
#include "mask/Masks.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "settings/Controls.h"
#include "settings/pages/EdgeMaskGroup.h"

#include <QComboBox>
#include <QLabel>
#include <QPixmap>

namespace trivel {

MaskPage::MaskPage(Session& s, Masks& masks, QWidget* parent)
    : PageWidget(s, parent)
    , m_masks(masks)
{
    new EdgeMaskGroup(s, this, QRect(8, 8, 300, 120));
    // Shown only for a box with the user-mask feature.
    QGroupBox* group
        = build::Group(this, &ctl::GBUserMask, QStringLiteral("Mapping "), QRect(318, 8, 300, 300));

    m_preview = build::Make<QLabel>(group, ctl::MaskImageU, QString(), QRect(10, 24, 280, 158));
    m_preview->setFrameShape(QFrame::Box);
    m_preview->setScaledContents(true);

    auto* mode = new QLabel(QStringLiteral("MODE"), group);
    mode->setGeometry(10, 196, 50, 24);
    auto* index = new QComboBox(group);
    index->setObjectName(ctl::CBMaskIdx2.qname());
    index->setGeometry(64, 196, 90, 24);
    index->addItem(QStringLiteral("Off"));
    for (int i = 1; i <= 10; ++i)
        index->addItem(QString::number(i));
    index->setCurrentIndex(0);
    connect(index, &QComboBox::activated, this, [this](int i) { m_masks.previewSlot(i); });

    auto* set
        = build::Make<QPushButton>(group, ctl::BtnMaskLoad2, QStringLiteral("Set"), QRect(164, 194, 80, 28));
    connect(set, &QPushButton::clicked, this, [this] { Launch(m_s, m_masks.assignPreviewed()); });

    m_masks.state().slotPreviewChanged = [this] {
        if (m_masks.state().SlotPreview.isNull())
            m_preview->clear();
        else
            m_preview->setPixmap(QPixmap::fromImage(m_masks.state().SlotPreview));
    };
}

MaskPage::~MaskPage()
{
    m_masks.state().slotPreviewChanged = nullptr;
}

} // namespace trivel
