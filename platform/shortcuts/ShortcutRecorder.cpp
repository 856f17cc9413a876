#include "ShortcutRecorder.h"

#include "settings/SettingsStore.h"
#include "shortcuts/ShortcutBinder.h"
#include "shortcuts/StoredShortcut.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

ShortcutRecorder::ShortcutRecorder(QWidget* parent)
    : QWidget(parent), m_field(new QPushButton(this)), m_clearButton(new QToolButton(this)),
      m_hint(new QLabel(this))
{
    m_field->setObjectName(QStringLiteral("shortcutField"));
    m_field->setMinimumWidth(160);
    m_clearButton->setObjectName(QStringLiteral("clearButton"));
    m_clearButton->setIcon(QIcon::fromTheme(QStringLiteral("edit-clear")));
    if (m_clearButton->icon().isNull())
        m_clearButton->setText(QStringLiteral("×"));
    //: Tooltip of the small button beside a shortcut field that clears it.
    m_clearButton->setToolTip(tr("Remove the shortcut"));
    m_clearButton->setAccessibleName(tr("Remove the shortcut"));
    m_clearButton->setAutoRaise(true);
    m_hint->setObjectName(QStringLiteral("hint"));
    m_hint->setWordWrap(true);
    m_hint->hide();

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_field, 1);
    row->addWidget(m_clearButton);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(row);
    column->addWidget(m_hint);

    // The recorder itself takes the keys while recording, so that no key reaches the button. A click on
    // the field leaves the focus where it is: taking it would end the recording before the click that
    // should cancel it starts it again.
    setFocusPolicy(Qt::ClickFocus);
    m_field->setFocusPolicy(Qt::TabFocus);
    connect(m_field, &QPushButton::clicked, this, [this] {
        if (m_recording)
            cancelRecording();
        else
            startRecording();
    });
    connect(m_clearButton, &QToolButton::clicked, this, &ShortcutRecorder::clearShortcut);
    refresh();
}

void ShortcutRecorder::attach(SettingsStore& store, ShortcutBinder& binder)
{
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    m_store = &store;
    m_binder = &binder;
    // Two recorders on one key, or a write from elsewhere in the program, show here at once.
    connect(m_store, &SettingsStore::valueChanged, this, &ShortcutRecorder::storedValueChanged);
    refresh();
}

void ShortcutRecorder::setAssociatedUserDefaultsKey(const QString& key)
{
    stopRecording();
    m_key = key;
    showHint(QString());
    refresh();
}

std::optional<QKeyCombination> ShortcutRecorder::shortcut() const
{
    if (!m_store || m_key.isEmpty())
        return std::nullopt;
    return storedShortcut(*m_store, m_key);
}

QString ShortcutRecorder::hint() const
{
    return m_hint->text();
}

void ShortcutRecorder::startRecording()
{
    if (!m_store || m_key.isEmpty() || m_recording)
        return;
    m_recording = true;
    showHint(QString());
    setFocus(Qt::MouseFocusReason);
    // An active grab also keeps the desktop's and our own global shortcuts from firing meanwhile.
    grabKeyboard();
    refresh();
}

void ShortcutRecorder::cancelRecording()
{
    stopRecording();
    refresh();
}

void ShortcutRecorder::clearShortcut()
{
    stopRecording();
    showHint(QString());
    store(QString());
}

bool ShortcutRecorder::event(QEvent* event)
{
    if (m_recording) {
        // Every key belongs to the recording: no application shortcut, and Tab does not move focus.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QWidget::event(event);
}

void ShortcutRecorder::keyPressEvent(QKeyEvent* event)
{
    if (!m_recording) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & shortcutModifiers;
    // X11 reports the modifiers as they were before the event, so a modifier's own press and release
    // have to be counted in by hand.
    if (isModifierKey(key)) {
        showModifiers(modifiers | modifierOfKey(key));
        return;
    }
    if (key == 0 || key == Qt::Key_unknown)
        return;
    if (modifiers == Qt::NoModifier && key == Qt::Key_Escape) {
        cancelRecording();
        return;
    }
    if (modifiers == Qt::NoModifier && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        clearShortcut();
        return;
    }
    const QKeyCombination combination =
        m_binder ? m_binder->combinationOf(*event) : shortcutCombination(modifiers, key);
    if (!isUsableShortcut(combination)) {
        //: Hint under a shortcut field; Ctrl, Alt and Super as the keys are labelled in this language.
        showHint(tr("Hold Ctrl, Alt or Super with the key, or use a function key."));
        return;
    }
    take(combination);
}

void ShortcutRecorder::keyReleaseEvent(QKeyEvent* event)
{
    if (!m_recording) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    event->accept();
    showModifiers(event->modifiers() & shortcutModifiers & ~modifierOfKey(event->key()));
}

void ShortcutRecorder::focusOutEvent(QFocusEvent* event)
{
    cancelRecording();
    QWidget::focusOutEvent(event);
}

void ShortcutRecorder::hideEvent(QHideEvent* event)
{
    cancelRecording();
    QWidget::hideEvent(event);
}

void ShortcutRecorder::take(QKeyCombination combination)
{
    stopRecording();
    if (m_binder) {
        if (const std::optional<QString> refusal = m_binder->refusalFor(combination, m_key)) {
            showHint(*refusal);
            refresh();
            return;
        }
    }
    showHint(QString());
    store(textFromShortcut(combination));
}

void ShortcutRecorder::store(const QString& text)
{
    if (!m_store || m_key.isEmpty()) {
        refresh();
        return;
    }
    // The store's change signal brings the new shortcut on screen.
    m_store->setObject(text, m_key);
}

void ShortcutRecorder::stopRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    releaseKeyboard();
}

void ShortcutRecorder::showHint(const QString& text)
{
    m_hint->setText(text);
    m_hint->setVisible(!text.isEmpty());
}

void ShortcutRecorder::showModifiers(Qt::KeyboardModifiers modifiers)
{
    if (modifiers == Qt::NoModifier) {
        //: A shortcut field while it waits for keys to be pressed.
        m_field->setText(tr("Type shortcut"));
        return;
    }
    // Qt names modifiers only together with a key: name them with a stand-in key, then drop it.
    QString text = displayText(QKeyCombination(modifiers, Qt::Key_A));
    text.chop(1);
    m_field->setText(text + QStringLiteral("…"));
}

void ShortcutRecorder::refresh()
{
    const std::optional<QKeyCombination> current = shortcut();
    m_field->setEnabled(m_store && !m_key.isEmpty());
    if (m_recording)
        showModifiers(Qt::NoModifier);
    else
        //: An empty shortcut field, a button: clicking it starts recording.
        m_field->setText(current ? displayText(*current) : tr("Record Shortcut"));
    m_clearButton->setVisible(current.has_value() && !m_recording);
}

void ShortcutRecorder::storedValueChanged(const QString& key)
{
    if (key == m_key)
        refresh();
}
