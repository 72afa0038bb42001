#include "mask/pages/DigiMapPage.h"

#include "mask/Controls.h"
#include "mask/Masks.h"
#include "session/Operations.h"
#include "session/Session.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScrollBar>

namespace trivel {

namespace {

QLabel* Text(QWidget* parent, const QString& text, const QRect& geometry)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

QScrollBar* OffsetBar(QWidget* parent, const Control& c, int maximum, const QRect& geometry)
{
    auto* b = new QScrollBar(Qt::Horizontal, parent);
    b->setObjectName(c.qname());
    b->setGeometry(geometry);
    b->setRange(0, maximum);
    b->setValue(0);
    return b;
}

} // namespace

DigiMapPage::DigiMapPage(Session& s, Masks& masks, QWidget* parent)
    : PageWidget(s, parent)
    , m_masks(masks)
{
    // The picture is stretched to the control, whatever its size.
    m_picture = build::Make<QLabel>(this, ctl::MaskImage, QString(), QRect(8, 8, 320, 180));
    m_picture->setFrameShape(QFrame::Box);
    m_picture->setScaledContents(true);
    build::Make<QLabel>(this, ctl::STMaskInfo, QString(), QRect(8, 192, 320, 20));
    buildSlotControls(340);
    buildPlacement();

    auto* saveAll = build::Make<QCheckBox>(
        this, ctl::CBSaveAll, QStringLiteral("Save all mask image  to  WBF File"), QRect(340, 192, 280, 20));
    saveAll->setChecked(m_s.SaveAllMasks);
    connect(saveAll, &QCheckBox::clicked, this, [this](bool on) { m_masks.setSaveAll(on); });

    m_masks.state().pictureChanged = [this] { showPicture(); };
    m_masks.state().presetColourDialog = [this] {
        if (!m_colourDialog)
            m_colourDialog = new QColorDialog();
        m_colourDialog->setCurrentColor(QColor::fromRgb(QRgb(m_masks.state().MaskColor)));
    };
}

// Load, preview, the slot choice and what is done with the slot, in a column at x.
void DigiMapPage::buildSlotControls(int x)
{
    auto* load = build::Make<QPushButton>(
        this, ctl::LoadMaskImage, QStringLiteral("Load Image"), QRect(x, 8, 96, 26));
    auto* preview
        = build::Make<QPushButton>(this, ctl::BtnUploadMask, QStringLiteral("preview"), QRect(x, 40, 96, 26));
    auto* clean = build::Make<QPushButton>(
        this, ctl::BtnMaskClean, QStringLiteral("Clean"), QRect(x + 102, 40, 80, 26));
    auto* index = new QComboBox(this);
    index->setObjectName(ctl::CBMaskIdx.qname());
    index->setGeometry(x, 74, 96, 24);
    index->addItem(QStringLiteral("Off"));
    for (int i = 1; i <= 10; ++i)
        index->addItem(QString::number(i));
    index->setCurrentIndex(0);
    auto* save
        = build::Make<QPushButton>(this, ctl::BtnMaskSave, QStringLiteral("Save"), QRect(x, 106, 80, 26));
    auto* set
        = build::Make<QPushButton>(this, ctl::BtnMaskLoad, QStringLiteral("Set"), QRect(x + 86, 106, 80, 26));
    auto* read
        = build::Make<QPushButton>(this, ctl::BtnMaskRead, QStringLiteral("Read"), QRect(x, 138, 80, 26));
    auto* del = build::Make<QPushButton>(
        this, ctl::BtnMaskDelete, QStringLiteral("Delete"), QRect(x + 86, 138, 80, 26));
    auto* progress = new QProgressBar(this);
    progress->setObjectName(ctl::PBMask.qname());
    progress->setGeometry(x, 170, 166, 14);
    progress->setRange(0, 100);
    progress->setValue(0);
    progress->hide();

    connect(load, &QPushButton::clicked, this, &DigiMapPage::LoadMaskImageClick);
    connect(preview, &QPushButton::clicked, this, [this] { Launch(m_s, m_masks.preview()); });
    connect(clean, &QPushButton::clicked, this, [this] { Launch(m_s, m_masks.clearPreview()); });
    connect(index, &QComboBox::activated, this, [this](int i) { m_masks.selectSlot(i); });
    connect(save, &QPushButton::clicked, this, [this] { Launch(m_s, m_masks.save()); });
    connect(set, &QPushButton::clicked, this, [this] { Launch(m_s, m_masks.assign()); });
    connect(read, &QPushButton::clicked, this, [this] { Launch(m_s, m_masks.read()); });
    connect(del, &QPushButton::clicked, this, [this] { Launch(m_s, m_masks.deleteSlot()); });
}

// Placement and the header's flags and colour.
void DigiMapPage::buildPlacement()
{
    QGroupBox* place = build::Group(this, nullptr, QStringLiteral("Position"), QRect(8, 214, 320, 124));
    auto* centre
        = build::Make<QCheckBox>(place, ctl::CBCenterMask, QStringLiteral("Center"), QRect(10, 20, 120, 20));
    Text(place, QStringLiteral("X"), QRect(10, 44, 16, 18));
    auto* offsetX = OffsetBar(place, ctl::SBMaskOffsetX, kMaskOffsetXMax, QRect(28, 44, 230, 16));
    build::Make<QLabel>(place, ctl::STOffsetX, QStringLiteral("0"), QRect(266, 42, 50, 20));
    Text(place, QStringLiteral("Y"), QRect(10, 66, 16, 18));
    auto* offsetY = OffsetBar(place, ctl::SBMaskOffsetY, kMaskOffsetYMax, QRect(28, 66, 230, 16));
    build::Make<QLabel>(place, ctl::STOffsetY, QStringLiteral("0"), QRect(266, 64, 50, 20));
    auto* trans = build::Make<QCheckBox>(
        place, ctl::CBTrans, QStringLiteral("Background masked"), QRect(8, 92, 152, 20));
    auto* reverse = build::Make<QCheckBox>(
        place, ctl::CBImageReverse, QStringLiteral("Reverse"), QRect(160, 92, 78, 20));
    auto* colour
        = build::Make<QPushButton>(place, ctl::BtnSelColor, QStringLiteral("Color"), QRect(238, 88, 48, 26));
    auto* swatch = new QFrame(place);
    swatch->setObjectName(ctl::MaskColor.qname());
    swatch->setGeometry(288, 90, 26, 22);
    swatch->setFrameShape(QFrame::Box);
    swatch->setAutoFillBackground(true);
    QPalette pal = swatch->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(QRgb(m_masks.state().MaskColor)));
    swatch->setPalette(pal);
    // The loop time travels in the header but its scroll bar and label stay hidden.
    auto* loopLabel = Text(place, QStringLiteral("Loop Time"), QRect(10, 112, 70, 10));
    loopLabel->hide();
    auto* loop = OffsetBar(place, ctl::SBLoopTime, 6000, QRect(84, 112, 200, 10));
    loop->setMinimum(2);
    loop->setValue(m_masks.state().LoopTime);
    loop->hide();

    connect(centre, &QCheckBox::clicked, this, [this](bool on) { m_masks.setCentred(on); });
    connect(offsetX, &QScrollBar::valueChanged, this, [this](int v) { m_masks.setOffsetX(v); });
    connect(offsetY, &QScrollBar::valueChanged, this, [this](int v) { m_masks.setOffsetY(v); });
    connect(trans, &QCheckBox::clicked, this, [this](bool on) { m_masks.setBackgroundMasked(on); });
    connect(reverse, &QCheckBox::clicked, this, [this](bool on) { m_masks.setReversed(on); });
    connect(loop, &QScrollBar::valueChanged, this, [this](int v) { m_masks.setLoopTime(v); });
    connect(colour, &QPushButton::clicked, this, &DigiMapPage::BtnSelColorClick);
}

DigiMapPage::~DigiMapPage()
{
    m_masks.state().pictureChanged = nullptr;
    m_masks.state().presetColourDialog = nullptr;
    delete m_colourDialog;
}

void DigiMapPage::showPicture()
{
    if (m_masks.state().Picture.isNull())
        m_picture->clear();
    else
        m_picture->setPixmap(QPixmap::fromImage(m_masks.state().Picture));
}

void DigiMapPage::LoadMaskImageClick()
{
    // A cancelled dialog keeps the mask that is loaded.
    const QString path = QFileDialog::getOpenFileName(
        this, QString(), QString(), QStringLiteral("Mono Bitmap file (*.BMP *.bmp)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_masks.loadImage(file.readAll());
}

void DigiMapPage::BtnSelColorClick()
{
    if (!m_colourDialog) {
        m_colourDialog = new QColorDialog();
        m_colourDialog->setCurrentColor(QColor::fromRgb(QRgb(m_masks.state().MaskColor)));
    }
    if (m_colourDialog->exec() == QDialog::Accepted)
        m_masks.setColour(m_colourDialog->currentColor().rgb() & 0xFFFFFFu);
}

} // namespace trivel
