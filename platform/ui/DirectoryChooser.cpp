#include "ui/DirectoryChooser.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>

namespace {

using namespace std::chrono_literals;

// Long enough for the desktop's windows to draw where the chooser was; short enough to go unnoticed.
constexpr auto kUnderneathRedrawn = 150ms;

} // namespace

void DirectoryChooser::completeConfirmed(Completion completion, const QString& directory)
{
    QTimer::singleShot(kUnderneathRedrawn, qApp, [completion = std::move(completion), directory] {
        completion(kResponseOK, directory);
    });
}
