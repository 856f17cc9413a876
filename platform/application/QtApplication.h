#pragma once

#include "application/Application.h"

class QtApplication final : public Application {
public:
    // The information dictionary is a JSON object among the program's resources; without it the
    // dictionary is empty.
    explicit QtApplication(const QString& infoResource = QStringLiteral(":/Info.json"));

    void activate() override;
    void terminate() override;
    QVariantMap infoDictionary() const override;
    OperatingSystemVersion operatingSystemVersion() const override;
    QString operatingSystemName() const override;

    // "6.1.0-18-amd64" gives 6, 1, 0; missing numbers are 0.
    static OperatingSystemVersion parseVersion(const QString& text);

private:
    QVariantMap m_infoDictionary;
};
