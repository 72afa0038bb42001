#pragma once
// Diagnostic grid view: draws the live warp grid when Button5 is pressed, reports click
// positions and carries a draggable marker. Changes nothing and sends nothing.

#include <QImage>
#include <QPoint>
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

namespace trivel {

class Warp;

class TGridForm : public QWidget {
    Q_OBJECT
public:
    explicit TGridForm(const Warp& warp, QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QFrame* Shape1 = nullptr;
    QPushButton* Button5 = nullptr;

    const QImage& image() const { return image_; }

public slots:
    void Button5Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Image1MouseDown(QPoint pos);
    void Shape1MouseDown(QPoint pos);
    void Shape1MouseMove(QPoint pos, Qt::MouseButtons buttons);

    const Warp& warp_;
    QImage image_;
    QPoint shapeDown_; // mouse-down position inside Shape1
};

} // namespace trivel
