#pragma once

#include <QSet>
#include <QWidget>

class QVariantAnimation;

// The widget of the busy animation: covers its parent window, paints a dimmed background and
// a turning arc, and swallows input meant for the covered window.
class BusyOverlay : public QWidget
{
    Q_OBJECT
public:
    explicit BusyOverlay(QWidget* covered);
    ~BusyOverlay() override;

    int angle() const { return m_angle; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_covered;
    QVariantAnimation* m_spin;
    int m_angle = 0;
    // The message boxes open over the covered window: the overlay hides while there is one.
    QSet<QObject*> m_messages;
};
