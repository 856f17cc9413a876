#include "InterfaceLoader.h"

#include "shortcuts/ShortcutRecorder.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QMetaProperty>
#include <QUiLoader>

namespace {

// Makes the recorder views with the store and binder they serve.
class WidgetFactory final : public QUiLoader {
public:
    WidgetFactory(SettingsStore& store, ShortcutBinder& binder) : m_store(store), m_binder(binder) {}

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override
    {
        if (className != QLatin1String("ShortcutRecorder"))
            return QUiLoader::createWidget(className, parent, name);
        auto* recorder = new ShortcutRecorder(parent);
        recorder->setObjectName(name);
        recorder->attach(m_store, m_binder);
        return recorder;
    }

private:
    SettingsStore& m_store;
    ShortcutBinder& m_binder;
};

// "fileType:" names the slot fileType(QObject* sender).
QByteArray slotSignature(const QString& selector)
{
    QString name = selector;
    if (name.endsWith(u':'))
        name.chop(1);
    return QMetaObject::normalizedSignature(qPrintable(name + QStringLiteral("(QObject*)")));
}

} // namespace

InterfaceLoader::InterfaceLoader(SettingsStore& store, ShortcutBinder& binder)
    : m_store(store), m_binder(binder)
{}

InterfaceLoader::~InterfaceLoader() = default;

bool InterfaceLoader::load(const QString& path, QObject& owner)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return false;
    }
    // A loader loads every Qt Designer widget plugin it finds on the library paths when it is made,
    // which would bring Qt Quick and more into memory; the file needs none of them.
    const QStringList libraryPaths = QCoreApplication::libraryPaths();
    QCoreApplication::setLibraryPaths({});
    WidgetFactory factory(m_store, m_binder);
    QCoreApplication::setLibraryPaths(libraryPaths);
    const std::unique_ptr<QWidget> container(factory.load(&file));
    if (!container) {
        m_error = factory.errorString();
        return false;
    }
    const auto children = container->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        child->setParent(nullptr, Qt::Window);
        m_windows.emplace_back(child);
    }
    setOutlets(owner);
    connectActions(owner);
    return true;
}

void InterfaceLoader::setOutlets(QObject& owner) const
{
    const QMetaObject* meta = owner.metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty outlet = meta->property(i);
        if (!outlet.isWritable() || !(outlet.metaType().flags() & QMetaType::PointerToQObject))
            continue;
        for (const auto& window : m_windows) {
            QObject* target = window->objectName() == QLatin1String(outlet.name())
                                  ? window.get()
                                  : window->findChild<QObject*>(QLatin1String(outlet.name()));
            if (target) {
                outlet.write(&owner, QVariant::fromValue(target));
                break;
            }
        }
    }
}

void InterfaceLoader::connectActions(QObject& owner) const
{
    for (const auto& window : m_windows) {
        const auto controls = window->findChildren<QWidget*>();
        for (QWidget* control : controls) {
            const QString selector = control->property("action").toString();
            if (selector.isEmpty())
                continue;
            const int slot = owner.metaObject()->indexOfSlot(slotSignature(selector));
            if (slot < 0)
                continue;
            const QMetaMethod method = owner.metaObject()->method(slot);
            QObject* const target = &owner;
            const auto send = [method, target, control] {
                method.invoke(target, Qt::DirectConnection, Q_ARG(QObject*, control));
            };
            // The signals a user's change sends, not a change made by the program.
            if (auto* button = qobject_cast<QAbstractButton*>(control))
                QObject::connect(button, &QAbstractButton::clicked, target, send);
            else if (auto* picker = qobject_cast<QComboBox*>(control))
                QObject::connect(picker, &QComboBox::activated, target, send);
        }
    }
}
