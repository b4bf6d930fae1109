#include "FrameworkUtils.h"

#include "FasApplication.h"

#include "EAbort.h"

#include <QApplication>
#include <QMainWindow>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cmath>

void MensErro(const QString& text, bool abort)
{
    MessageService::instance().error(text);
    if (abort)
        throw EAbort();
}

bool EmptyString(const QString& text)
{
    return text.trimmed().isEmpty();
}

QString Ajusta(const QString& text, int width)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() >= width)
        return trimmed;
    const bool digits = std::all_of(trimmed.cbegin(), trimmed.cend(),
                                    [](QChar c) { return c >= u'0' && c <= u'9'; });
    return digits ? trimmed.rightJustified(width, u'0') : trimmed.leftJustified(width, u' ');
}

double RoundDec(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    decimals = std::clamp(decimals, 0, 15);
    // Work on the 15 significant digits the value stands for, in decimal: d.dddddddddddddde±x.
    const QString text = QString::number(std::fabs(value), 'e', 14);
    const qsizetype ePos = text.indexOf(u'e');
    QString digits = text.left(ePos);
    digits.remove(u'.');
    const int exponent = text.mid(ePos + 1).toInt();
    // digits[i] has the place value 10^(exponent - i); keep those down to 10^-decimals.
    const int keep = exponent + decimals + 1;
    if (keep < 0)
        return 0.0;
    if (keep >= digits.size())
        return value;
    QString kept = digits.left(keep);
    bool carry = digits.at(keep) >= u'5';
    for (qsizetype i = kept.size() - 1; carry && i >= 0; --i) {
        if (kept[i] == u'9') {
            kept[i] = u'0';
        } else {
            kept[i] = QChar(kept[i].unicode() + 1);
            carry = false;
        }
    }
    if (carry)
        kept.prepend(u'1');
    if (kept.isEmpty())
        return 0.0;
    const double magnitude = QString(kept + QStringLiteral("e-%1").arg(decimals)).toDouble();
    return value < 0 && magnitude != 0.0 ? -magnitude : magnitude;
}

MessageService::Answer MessageDlg(const QString& text, TMsgDlgType type, int buttons,
                                  int /*helpContext*/, const QString& details)
{
    MessageService& service = MessageService::instance();
    switch (type) {
    case mtError:
        service.error(text);
        return MessageService::Answer::Ok;
    case mtWarning:
        service.warning(text);
        return MessageService::Answer::Ok;
    case mtInformation:
    case mtCustom:
        if (buttons == 0 || buttons == MessageService::Ok) {
            service.information(text);
            return MessageService::Answer::Ok;
        }
        return service.confirm(text, buttons, details);
    case mtConfirmation:
        break;
    }
    return service.confirm(text, buttons, details);
}

QWidget* MainForm()
{
    // The host application registers its main window with the application object.
    if (QWidget* form = FasApplication::MainForm())
        return form;
    return QApplication::activeWindow();
}
