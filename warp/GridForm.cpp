#include "warp/GridForm.h"

#include "warp/Warp.h"
#include "warp/GridView.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

namespace trivel {

namespace {

QString positionText(int x, int y)
{
    return QStringLiteral("%1 - %2").arg(x).arg(y);
}

} // namespace

TGridForm::TGridForm(const Warp& warp, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , warp_(warp)
    , image_(kGridViewWidth, kGridViewHeight, QImage::Format_RGB32)
{
    setObjectName(QStringLiteral("GridForm"));
    setWindowTitle(QStringLiteral("GridForm"));
    resize(984, 619);

    image_.fill(Qt::white);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(9, 7, kGridViewWidth, kGridViewHeight);
    Image1->setPixmap(QPixmap::fromImage(image_));
    Image1->installEventFilter(this);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(96, 568);
    Label1->setMinimumWidth(200);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(400, 312, 8, 8);
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setAutoFillBackground(true);
    Shape1->setCursor(Qt::PointingHandCursor);
    Shape1->installEventFilter(this);

    Button5 = new QPushButton(QStringLiteral("Button5"), this);
    Button5->setObjectName(QStringLiteral("Button5"));
    Button5->setGeometry(8, 557, 75, 25);
    connect(Button5, &QPushButton::clicked, this, &TGridForm::Button5Click);
}

void TGridForm::Button5Click()
{
    DrawGridView(image_, warp_.state());
    Image1->setPixmap(QPixmap::fromImage(image_));
}

bool TGridForm::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove)
        return QWidget::eventFilter(watched, event);
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mouse->position().toPoint();
    if (watched == Image1 && type == QEvent::MouseButtonPress) {
        Image1MouseDown(pos);
        return true;
    }
    if (watched == Shape1) {
        if (type == QEvent::MouseButtonPress)
            Shape1MouseDown(pos);
        else
            Shape1MouseMove(pos, mouse->buttons());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TGridForm::Image1MouseDown(QPoint pos)
{
    Label1->setText(positionText(pos.x(), pos.y()));
    Label1->adjustSize();
}

void TGridForm::Shape1MouseDown(QPoint pos)
{
    shapeDown_ = pos;
}

void TGridForm::Shape1MouseMove(QPoint pos, Qt::MouseButtons buttons)
{
    update();
    if (!(buttons & Qt::LeftButton))
        return;
    Shape1->move(Shape1->pos() + (pos - shapeDown_));
    Label1->setText(positionText(Shape1->x(), Shape1->y()));
    Label1->adjustSize();
}

} // namespace trivel
