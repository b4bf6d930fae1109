#pragma once

#include <QToolButton>

// A flat tool button. With GroupIndex 0 it is a plain push button. With a GroupIndex above 0
// it stays down when clicked and releases the other buttons of the same group under the same
// parent; AllowAllUp lets a click on the pressed button release it, so a group of one button
// with AllowAllUp is a toggle.
class TButtonFlat : public QToolButton
{
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr);

    bool Down() const { return isChecked(); }
    void SetDown(bool down);

    int GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int groupIndex);
    bool AllowAllUp() const { return m_allowAllUp; }
    void SetAllowAllUp(bool allowAllUp) { m_allowAllUp = allowAllUp; }

    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool enabled) { setEnabled(enabled); }

protected:
    void nextCheckState() override;

private:
    void releaseOthers();

    int m_groupIndex = 0;
    bool m_allowAllUp = false;
};
