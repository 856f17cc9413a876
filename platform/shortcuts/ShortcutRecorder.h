#pragma once

#include <QKeyCombination>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QToolButton;
class SettingsStore;
class ShortcutBinder;

// The field in which the user records a global shortcut. It shows the shortcut stored under its
// settings key and stores there what the user records. A click starts recording; the next key with
// Ctrl, Alt or Super (or a function key alone) is taken at once; Escape cancels; Backspace or Delete
// clears. A combination the binder cannot hold is refused with a hint below the field.
class ShortcutRecorder : public QWidget {
    Q_OBJECT

public:
    // Only a parent, so that the interface loader can make it by class name.
    explicit ShortcutRecorder(QWidget* parent = nullptr);

    // Before setAssociatedUserDefaultsKey: where the shortcut is kept, and who is asked whether a new
    // one can be held. Both must outlive the recorder or be QObjects that it can see go.
    void attach(SettingsStore& store, ShortcutBinder& binder);
    void setAssociatedUserDefaultsKey(const QString& key);
    QString associatedUserDefaultsKey() const { return m_key; }

    std::optional<QKeyCombination> shortcut() const;
    bool isRecording() const { return m_recording; }
    // Empty unless the last recording was refused.
    QString hint() const;

public slots:
    void startRecording();
    void cancelRecording();
    void clearShortcut();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void take(QKeyCombination combination);
    void store(const QString& text);
    void stopRecording();
    void showHint(const QString& text);
    void showModifiers(Qt::KeyboardModifiers modifiers);
    void refresh();
    void storedValueChanged(const QString& key);

    // First: the children made in the constructor send this widget events (ChildAdded) that
    // event() answers by looking at it, before any later member would be initialized.
    bool m_recording = false;
    QPointer<SettingsStore> m_store;
    QPointer<ShortcutBinder> m_binder;
    QString m_key;
    QPushButton* m_field;
    QToolButton* m_clearButton;
    QLabel* m_hint;
};
