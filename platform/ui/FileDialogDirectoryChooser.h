#pragma once

#include "ui/DirectoryChooser.h"

// Each begin() opens a new non-modal Qt file dialog for directories; several can be open at once.
class FileDialogDirectoryChooser final : public DirectoryChooser {
public:
    void begin(const QString& prompt, Completion completion) override;
};
