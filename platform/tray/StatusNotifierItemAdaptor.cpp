#include "StatusNotifierItemAdaptor.h"

#include <QImage>
#include <QtEndian>

IconImages StatusNotifierItemAdaptor::iconPixmap() const
{
    IconImages images;
    // The sizes panels draw most; the tray scales the nearest.
    for (const int side : {16, 22, 32, 48}) {
        QImage image = m_item.icon().pixmap(side).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        IconImage out{image.width(), image.height(), {}};
        out.pixels.resize(qsizetype(image.width()) * image.height() * 4);
        auto* pixel = reinterpret_cast<quint32*>(out.pixels.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *pixel++ = qToBigEndian(row[x]);
        }
        images.append(out);
    }
    return images;
}

void StatusNotifierItemAdaptor::Activate(int, int)
{
    emit m_item.activated(QSystemTrayIcon::Trigger);
}

void StatusNotifierItemAdaptor::ContextMenu(int, int)
{
    emit m_item.activated(QSystemTrayIcon::Context);
}

void StatusNotifierItemAdaptor::SecondaryActivate(int, int)
{
    emit m_item.activated(QSystemTrayIcon::MiddleClick);
}

void StatusNotifierItemAdaptor::Scroll(int, const QString&) {}
