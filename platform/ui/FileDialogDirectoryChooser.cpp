#include "FileDialogDirectoryChooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

// Qt's own dialog says that a folder does not exist in a box that blocks the whole program until it is
// dismissed: the tray menu and every other open chooser. This one ties the box to its own chooser.
class FolderDialog final : public QFileDialog {
public:
    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.isEmpty() || QFileInfo::exists(chosen.constFirst())) {
            QFileDialog::accept();
            return;
        }
        auto* box =
            new QMessageBox(QMessageBox::Warning, windowTitle(),
                            //: Qt's own text; %1 is the folder name that was typed.
                            QFileDialog::tr("%1\nDirectory not found.\nPlease verify the correct directory "
                                            "name was given.")
                                .arg(QFileInfo(chosen.constFirst()).fileName()),
                            QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
    }
};

} // namespace

void FileDialogDirectoryChooser::begin(const QString& prompt, Completion completion)
{
    // Parentless and deleted when closed: the dialog owns itself while it is open.
    auto* dialog = new FolderDialog;
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
            if (!confirmed) {
                completion(kResponseCancel, directory);
                return;
            }
            // The dialog's pop-ups (the name completer's list) close only when the dialog is deleted.
            completeConfirmed(completion, directory);
        });
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
