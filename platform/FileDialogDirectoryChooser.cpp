#include "FileDialogDirectoryChooser.h"

#include <QDir>
#include <QFileDialog>

void FileDialogDirectoryChooser::begin(const QString& prompt, Completion completion)
{
    // Parentless and deleted when closed: the dialog owns itself while it is open.
    auto* dialog = new QFileDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    // Qt's own dialog, so that the confirm button carries our label and the dialog never blocks.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setLabelText(QFileDialog::Accept, prompt);
    QObject::connect(
        dialog, &QFileDialog::finished, dialog, [dialog, completion = std::move(completion)](int result) {
            const QStringList chosen = dialog->selectedFiles();
            const bool confirmed = result == QDialog::Accepted;
            // cleanPath leaves no trailing separator but on the root, which stays "/".
            const QString directory =
                confirmed && !chosen.isEmpty() ? QDir::cleanPath(chosen.constFirst()) : QString();
            completion(confirmed ? kResponseOK : kResponseCancel, directory);
        });
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
