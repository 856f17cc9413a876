#include "AppDelegate.h"
#include "Commands.h"

#include <QFormLayout>
#include <QLineEdit>

void AppDelegate::offerDesktopShortcutCommands()
{
    const std::pair<QPointer<ShortcutRecorder>, void (AppDelegate::*)()> rows[] = {
        {m_captureDesktopSCV, &AppDelegate::captureDesktop},
        {m_captureDesktopClipboardSCV, &AppDelegate::captureToClipboard},
    };
    QFormLayout* form = nullptr;
    for (const auto& [outlet, action] : rows) {
        const QPointer<ShortcutRecorder> recorder = outlet;
        QWidget* view = recorder ? recorder->parentWidget() : nullptr;
        auto* rowsLayout = view ? qobject_cast<QFormLayout*>(view->layout()) : nullptr;
        int row = -1;
        QFormLayout::ItemRole role = QFormLayout::FieldRole;
        if (rowsLayout)
            rowsLayout->getWidgetPosition(recorder, &row, &role);
        if (row < 0)
            continue;
        form = rowsLayout;
        // Selectable, to be copied into the desktop's settings.
        auto* command = new QLineEdit(commandLineOf(action), view);
        command->setReadOnly(true);
        command->setObjectName(recorder->objectName() + QStringLiteral("Command"));
        form->removeWidget(recorder);
        recorder->hide();
        form->setWidget(row, role, command);
    }
    if (form) {
        form->insertRow(0,
                        //: Above the two commands shown instead of the shortcut fields.
                        new QLabel(tr("Global shortcuts are not available on this desktop: bind "
                                      "these commands to keys in its keyboard settings."),
                                   form->parentWidget()));
    }
}
