#pragma once

#include <QString>

#include <functional>

// A free-standing directory chooser: begin() shows it and returns at once; the completion runs later,
// exactly once, on the main loop.
class DirectoryChooser {
public:
    // The chooser's answer: 1 when the user confirmed, anything else when not.
    static constexpr qint64 kResponseOK = 1;
    static constexpr qint64 kResponseCancel = 0;

    // directory: the chosen directory's path without a trailing separator (empty when none was chosen).
    using Completion = std::function<void(qint64 response, const QString& directory)>;

    virtual ~DirectoryChooser() = default;
    virtual void begin(const QString& prompt, Completion completion) = 0;

protected:
    // Runs the completion for a confirmed directory a moment later: a confirmed directory starts a
    // capture of the screen, which must not show the chooser, and the windows that were under it need
    // that moment to draw themselves again.
    static void completeConfirmed(Completion completion, const QString& directory);
};
