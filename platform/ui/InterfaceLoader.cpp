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

// The owner's outlets: its QObject-pointer properties that can be set, beyond QObject's own.
std::vector<QMetaProperty> outletsOf(const QMetaObject& meta)
{
    std::vector<QMetaProperty> outlets;
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        if (property.isWritable() && (property.metaType().flags() & QMetaType::PointerToQObject))
            outlets.push_back(property);
    }
    return outlets;
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
    m_error = misfit(owner);
    if (!m_error.isEmpty()) {
        m_windows.clear();
        return false;
    }
    setOutlets(owner);
    connectActions(owner);
    return true;
}

QObject* InterfaceLoader::objectNamed(const QString& name) const
{
    for (const auto& window : m_windows) {
        if (window->objectName() == name)
            return window.get();
        if (QObject* found = window->findChild<QObject*>(name))
            return found;
    }
    return nullptr;
}

QString InterfaceLoader::misfit(const QObject& owner) const
{
    const QMetaObject* meta = owner.metaObject();
    const QString ownerClass = QLatin1String(meta->className());
    for (const QMetaProperty& outlet : outletsOf(*meta)) {
        const QString name = QLatin1String(outlet.name());
        const QObject* target = objectNamed(name);
        if (!target)
            return QStringLiteral("no object is named \"%1\", as %2's outlet of that name needs")
                .arg(name, ownerClass);
        const QMetaObject* kind = outlet.metaType().metaObject();
        if (kind && !target->metaObject()->inherits(kind))
            return QStringLiteral("\"%1\" is a %2, which %3's outlet of that name cannot hold")
                .arg(name, QLatin1String(target->metaObject()->className()), ownerClass);
    }
    for (const auto& window : m_windows) {
        const auto controls = window->findChildren<QWidget*>();
        for (const QWidget* control : controls) {
            const QString selector = control->property("action").toString();
            if (!selector.isEmpty() && meta->indexOfSlot(slotSignature(selector)) < 0)
                return QStringLiteral("\"%1\" sends the action \"%2\", which %3 has no slot for")
                    .arg(control->objectName(), selector, ownerClass);
        }
    }
    return {};
}

void InterfaceLoader::setOutlets(QObject& owner) const
{
    for (const QMetaProperty& outlet : outletsOf(*owner.metaObject()))
        outlet.write(&owner, QVariant::fromValue(objectNamed(QLatin1String(outlet.name()))));
}

void InterfaceLoader::connectActions(QObject& owner) const
{
    for (const auto& window : m_windows) {
        const auto controls = window->findChildren<QWidget*>();
        for (QWidget* control : controls) {
            const QString selector = control->property("action").toString();
            if (selector.isEmpty())
                continue;
            const QMetaMethod method =
                owner.metaObject()->method(owner.metaObject()->indexOfSlot(slotSignature(selector)));
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
