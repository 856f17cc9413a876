#pragma once

#include <QKeyCombination>
#include <QKeyEvent>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class Log;

// Global shortcuts: runs an action whenever the shortcut stored under a settings key is pressed
// anywhere on the desktop. One instance serves the whole program; makeShortcutBinder
// (ShortcutBinderFactory.h) chooses the one that works in the session.
class ShortcutBinder : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // From now on and for the life of the binder: each press of the shortcut stored under key runs
    // action on the main thread, once per press however long the keys are held. The binder follows
    // later writes of the key in the store by itself.
    virtual void bindShortcutWithDefaultsKey(const QString& key, std::function<void()> action) = 0;

    // Whether a bound shortcut's press reaches the program in this session at all. Where it does not,
    // people bind the program's commands in the desktop's own keyboard settings instead.
    virtual bool firesShortcuts() const { return true; }

    // Asked before a new shortcut is stored under key. Nothing when the binder can hold it; otherwise
    // a short sentence for the user saying why not (another program or another key holds it). Each
    // refusal is logged.
    virtual std::optional<QString> refusalFor(QKeyCombination combination, const QString& key) = 0;

    // The combination a key press in a recorder stands for. By default the key and modifiers as Qt
    // reports them; a display system that reports the shifted character names the key instead.
    virtual QKeyCombination combinationOf(const QKeyEvent& event) const;

signals:
    // The desktop refused to bind the shortcuts, which it may say only once asked: from now on
    // firesShortcuts() is false. Emitted once at most.
    void refusedByDesktop();

protected:
    // One of the keys the binder serves, with the shortcut it stands for now.
    struct BoundKey {
        QString key;
        std::optional<QKeyCombination> shortcut;
    };

    // Whether two combinations are one shortcut to the desktop: by default when they are the same.
    virtual bool sameShortcut(QKeyCombination first, QKeyCombination second) const;

    // The first of bound, other than key, whose shortcut is combination.
    std::optional<QString> keyHolding(QKeyCombination combination, const QString& key,
                                      const std::vector<BoundKey>& bound) const;

    // No two keys share a shortcut: when another of bound holds combination, the refusal, logged.
    std::optional<QString> refusalIfAssigned(QKeyCombination combination, const QString& key,
                                             const std::vector<BoundKey>& bound, Log& log) const;
};
