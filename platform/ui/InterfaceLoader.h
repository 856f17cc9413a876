#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class SettingsStore;
class ShortcutBinder;

// Loads the interface file: a container widget whose children are the program's windows. Each child
// becomes a window of its own, kept by the loader. Then, as the desktop's interface loader does, it
// sets the owner's outlets (its QObject-pointer properties) to the widgets of the same objectName,
// and connects each control that names an action (dynamic property "action", a selector such as
// "fileType:") to the owner's slot of that name, which receives the control. A file that does not
// fit its owner (an outlet with no widget of its name and class, an action with no slot) is refused.
class InterfaceLoader {
public:
    InterfaceLoader(SettingsStore& store, ShortcutBinder& binder);
    ~InterfaceLoader();

    // False, with nothing set and no window kept, when the file cannot be read or does not fit the owner;
    // errorString() then says why in one line, naming the outlet or action.
    bool load(const QString& path, QObject& owner);
    QString errorString() const { return m_error; }
    const std::vector<std::unique_ptr<QWidget>>& windows() const { return m_windows; }

private:
    QObject* objectNamed(const QString& name) const;
    // Empty when every outlet and action of the file fits the owner.
    QString misfit(const QObject& owner) const;
    void setOutlets(QObject& owner) const;
    void connectActions(QObject& owner) const;

    SettingsStore& m_store;
    ShortcutBinder& m_binder;
    std::vector<std::unique_ptr<QWidget>> m_windows;
    QString m_error;
};
