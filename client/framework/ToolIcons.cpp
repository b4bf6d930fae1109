#include "ToolIcons.h"

#include <QAbstractButton>
#include <QPixmap>
#include <QWidget>

namespace {

struct ToolIcon
{
    const char* button;
    const char* themeName;
    const char* file;        // under :/fas/icons/
    const char* pressedFile; // the On state of a toggle, or nullptr
};

constexpr ToolIcon kToolIcons[] = {
    {"sbtFiltrar", "view-filter", "filter.svg", nullptr},
    {"sbtCadAuto", "tools-wizard", "automatic.svg", nullptr},
    {"sbtGerarNF", "document-new", "fiscal-note.svg", nullptr},
    {"sbtMais", "go-down", "more.svg", "less.svg"},
    {"sbtIncluir", "list-add", "add.svg", nullptr},
    {"sbtAlterar", "document-edit", "edit.svg", nullptr},
    {"sbtExcluir", "edit-delete", "delete.svg", nullptr},
    {"sbtProcurar", "edit-find", "find.svg", nullptr},
    {"sbtVerificar", "view-refresh", "refresh.svg", nullptr},
    {"sbtImprimir", "document-print", "print.svg", nullptr},
    {"sbtAjuda", "help-contents", "help.svg", nullptr},
    {"sbtFechar", "window-close", "close.svg", nullptr},
    {"sbtConfirma", "dialog-ok", "ok.svg", nullptr},
    {"btfSaveOpc", "document-save", "save.svg", nullptr},
    {"btfLoadOpc", "document-open", "open.svg", nullptr},
};

constexpr int kIconSize = 16;

const ToolIcon* findToolIcon(const QString& buttonName)
{
    for (const ToolIcon& entry : kToolIcons) {
        if (buttonName == QLatin1String(entry.button))
            return &entry;
    }
    return nullptr;
}

QString resourcePath(const char* file)
{
    return QStringLiteral(":/fas/icons/") + QLatin1String(file);
}

} // namespace

QStringList ToolIconButtons()
{
    QStringList names;
    for (const ToolIcon& entry : kToolIcons)
        names.append(QLatin1String(entry.button));
    return names;
}

QIcon OwnToolIcon(const QString& buttonName)
{
    const ToolIcon* entry = findToolIcon(buttonName);
    if (!entry)
        return QIcon();
    // The SVG icon engine draws each size and state on demand, the disabled look included.
    QIcon icon;
    icon.addFile(resourcePath(entry->file), QSize(), QIcon::Normal, QIcon::Off);
    if (entry->pressedFile)
        icon.addFile(resourcePath(entry->pressedFile), QSize(), QIcon::Normal, QIcon::On);
    return icon;
}

void ApplyToolIcons(QWidget* form)
{
    if (!form)
        return;
    const auto buttons = form->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        const ToolIcon* entry = findToolIcon(button->objectName());
        if (!entry)
            continue;
        const QIcon icon =
            QIcon::fromTheme(QLatin1String(entry->themeName), OwnToolIcon(button->objectName()));
        // Without SVG support the file yields no picture; the letter then stays.
        if (icon.pixmap(kIconSize).isNull())
            continue;
        button->setIcon(icon);
        button->setIconSize(QSize(kIconSize, kIconSize));
        if (button->accessibleName().isEmpty())
            button->setAccessibleName(button->toolTip());
        button->setText(QString());
    }
}
