#include "ui/DirectoryChooser.h"

#include "ui/Windows.h"

#include <QCoreApplication>
#include <QTimer>

void DirectoryChooser::completeConfirmed(Completion completion, const QString& directory)
{
    QTimer::singleShot(kUnderneathRedrawn, qApp, [completion = std::move(completion), directory] {
        completion(kResponseOK, directory);
    });
}
