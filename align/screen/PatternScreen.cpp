#include "align/screen/PatternScreen.h"

#include "align/PatternPicture.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>

namespace trivel::align {

PatternScreen::PatternScreen(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Auto Align patterns"));
    setCursor(Qt::BlankCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);
}

void PatternScreen::showOn(QScreen* screen)
{
    if (screen) {
        setScreen(screen);
        setGeometry(screen->geometry());
    }
    showFullScreen();
    raise();
}

void PatternScreen::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
    // The camera looks after the settle time: the picture must be on the screen by then, not
    // whenever the next paint comes.
    repaint();
}

void PatternScreen::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (m_picture.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(rect(), m_picture);
}

QScreen* ScreenNumber(int number)
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return nullptr;
    const QList<QScreen*> screens = QGuiApplication::screens();
    return number >= 0 && number < screens.size() ? screens[number] : nullptr;
}

QStringList DescribeScreens()
{
    QStringList lines;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return lines;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (int i = 0; i < screens.size(); ++i) {
        const QRect g = screens[i]->geometry();
        lines << QStringLiteral("screen %1: %2 x %3 at %4, %5 (%6)")
                     .arg(i)
                     .arg(g.width())
                     .arg(g.height())
                     .arg(g.x())
                     .arg(g.y())
                     .arg(screens[i]->name());
    }
    return lines;
}

ScreenPatternDisplay::ScreenPatternDisplay(
    PatternScreen& screen, std::array<QSize, 4> frames, PatternDisplay* box, SessionThread* thread)
    : m_screen(&screen)
    , m_frames(frames)
    , m_box(box)
    , m_thread(thread)
{
}

ScreenPatternDisplay::~ScreenPatternDisplay()
{
    QString error;
    for (int w = 0; w < 4; ++w)
        letThrough(w, error); // each on its own: one the box refuses does not keep the others held
}

bool ScreenPatternDisplay::onScreenThread(std::function<bool(QString&)> work, QString& error)
{
    const auto guarded = [screen = m_screen, work = std::move(work)](QString& why) {
        if (!screen) {
            why = QStringLiteral("the pattern screen was closed");
            return false;
        }
        return work(why);
    };
    if (!m_thread || !m_screen || QThread::currentThread() == m_screen->thread())
        return guarded(error);
    return m_thread->call(guarded, error);
}

// The window's mask preview off, so that the PC's picture shows through it.
bool ScreenPatternDisplay::letThrough(int window, QString& error)
{
    if (!m_box || !m_held[std::size_t(window)])
        return true;
    if (!m_box->blank(window, error))
        return false;
    m_held[std::size_t(window)] = false;
    return true;
}

bool ScreenPatternDisplay::draw(int window, QImage picture, QString& error)
{
    return letThrough(window, error)
        && onScreenThread(
            [screen = m_screen, picture = std::move(picture)](QString&) {
                screen->setPicture(picture);
                return true;
            },
            error);
}

namespace {

bool Known(int window, QString& error)
{
    if (window >= 0 && window < 4)
        return true;
    error = QStringLiteral("there is no window %1").arg(window + 1);
    return false;
}

} // namespace

bool ScreenPatternDisplay::showMask(int window, const MaskBytes& stream, QString& error)
{
    if (!Known(window, error))
        return false;
    const QSize f = m_frames[std::size_t(window)];
    return draw(window, MaskPatternPicture(stream, f.width(), f.height()), error);
}

bool ScreenPatternDisplay::showGrid(int window, const GridSpec& grid, QString& error)
{
    if (!Known(window, error))
        return false;
    const QSize f = m_frames[std::size_t(window)];
    return draw(window, GridPatternPicture(f.width(), f.height(), grid), error);
}

bool ScreenPatternDisplay::blank(int window, QString& error)
{
    if (!Known(window, error))
        return false;
    if (m_box && !m_held[std::size_t(window)]) {
        if (!m_box->showMask(window, BlackFrameStream(), error))
            return false;
        m_held[std::size_t(window)] = true;
    }
    if (m_box) // the screen stays as it is for the windows still showing it
        return true;
    const QSize f = m_frames[std::size_t(window)];
    return draw(window, MaskPatternPicture({}, f.width(), f.height()), error);
}

bool ScreenPatternDisplay::release(int window, QString& error)
{
    if (!Known(window, error) || !letThrough(window, error))
        return false;
    if (m_box && !m_box->release(window, error))
        return false;
    return onScreenThread(
        [screen = m_screen](QString&) {
            screen->setPicture({});
            screen->hide();
            return true;
        },
        error);
}

DisplayFactory ScreenDisplayFactory(PatternScreen& screen, std::array<QSize, 4> frames)
{
    QPointer<PatternScreen> guarded(&screen);
    return [guarded, frames](PatternDisplay& box, SessionThread& thread) -> std::unique_ptr<PatternDisplay> {
        if (!guarded)
            return nullptr;
        return std::make_unique<ScreenPatternDisplay>(*guarded, frames, &box, &thread);
    };
}

} // namespace trivel::align
