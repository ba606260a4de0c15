// Starts like the program does, says "shown" on standard output once the main window has been
// painted for the first time, and ends. Built as bare_window it shows one empty QWidget instead:
// the floor for any Qt Widgets program; as bare_label, that window holds one label.
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>

#include <cstdio>

#ifndef BARE_WINDOW
#include "startup.h"
#endif

namespace {

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char **argv)
{
    FirstPaint probe;
#ifdef BARE_WINDOW
    QApplication app(argc, argv);
    QWidget window;
#ifdef BARE_LABEL
    QLabel label(QStringLiteral("Штрих-код:"), &window);
#endif
    window.installEventFilter(&probe);
    window.show();
    return app.exec();
#else
    return runAnalyser(argc, argv, &probe);
#endif
}
