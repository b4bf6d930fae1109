#include "BusyOverlay.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPainter>
#include <QVariantAnimation>

BusyOverlay::BusyOverlay(QWidget* covered)
    : QWidget(covered), m_covered(covered), m_spin(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("busyOverlay"));
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(covered->rect());
    m_spin->setStartValue(0);
    m_spin->setEndValue(360);
    m_spin->setDuration(1000);
    m_spin->setLoopCount(-1);
    connect(m_spin, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_angle = value.toInt();
        update();
    });
    m_spin->start();
    covered->installEventFilter(this);
    qApp->installEventFilter(this);
    raise();
    show();
}

BusyOverlay::~BusyOverlay()
{
    qApp->removeEventFilter(this);
}

void BusyOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(255, 255, 255, 110));
    const int side = std::min({width(), height(), 48});
    const QRectF box((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    QPen pen(QColor(0x20, 0x50, 0xA0), std::max(2, side / 8), Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.drawArc(box.adjusted(4, 4, -4, -4), -m_angle * 16, 270 * 16);
}

bool BusyOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_covered && event->type() == QEvent::Resize) {
        setGeometry(m_covered->rect());
        return false;
    }
    // A message shown meanwhile (a failure, mostly) is what the user must read: the animation
    // steps back while it is open, or it would go on turning behind an error as if the work
    // still ran.
    if (auto* box = qobject_cast<QMessageBox*>(watched);
        box && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        if (event->type() == QEvent::Show)
            m_messages.insert(box);
        else
            m_messages.remove(box);
        setVisible(m_messages.isEmpty());
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu: {
        // Input for the covered window (and the overlay itself) goes nowhere; other windows,
        // such as a message box shown meanwhile, keep theirs.
        auto* target = qobject_cast<QWidget*>(watched);
        if (target && target->window() == m_covered->window())
            return true;
        break;
    }
    default:
        break;
    }
    return false;
}
