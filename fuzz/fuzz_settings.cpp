// The program's settings readings over a settings file of any content: the store opens it and every
// key the program reads goes through each typed reading, as a damaged or hand-edited file would.
// None may crash or hang.
#include "SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "shortcuts/StoredShortcut.h"
#include "system/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace {

class SilentLog : public Log {
public:
    void log(const QString&) override {}
};

std::unique_ptr<QTemporaryDir> folder;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Qt warns about each value it cannot read; thousands of those would bury the fuzzer's report.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // QSettings wants an application object for its file cache and codecs; one for the whole run.
    static QCoreApplication application(*argc, *argv);
    folder = std::make_unique<QTemporaryDir>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A new name each time: Qt caches a parsed file by name and checks it only by size and time.
    static int run = 0;
    const QString path = folder->filePath(QStringLiteral("Kestrelle-%1.conf").arg(run++ % 64));
    QFile::remove(path + QStringLiteral(".damaged"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    SilentLog log;
    SettingsStore store(path, log);
    const QString keys[] = {kPlaySoundAfterScreenshotKey,
                            kOpenInPreviewKey,
                            kScreenshotFileTypeKey,
                            kScreenshotFileTypeIndexKey,
                            kAppleInterfaceStyleKey,
                            QStringLiteral("CaptureShortcut"),
                            QStringLiteral("CaptureClipboardShortcut")};
    for (const QString& key : keys) {
        store.boolForKey(key);
        store.integerForKey(key);
        store.objectForKey(key);
        if (const auto text = store.stringForKey(key))
            shortcutFromText(*text);
    }
    QFile::remove(path);
    return 0;
}
