// The program's own start-up loads the toolkit's Russian: started as the program starts, it looks
// at the field's context menu once the main window is first painted, then ends; status 0 when the
// menu is Russian. (tst_toolkittexts drives the menus and dialogs themselves.)
#include "startup.h"

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>

#include <cstdio>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QMetaObject::invokeMethod(qApp, [] {
                const std::unique_ptr<QMenu> menu(MainForm->Edit1->createStandardContextMenu());
                QStringList texts;
                for (QAction *a : menu->actions())
                    if (!a->isSeparator())
                        texts << a->text().section(u'\t', 0, 0);
                const QStringList expected{u"&Отменить действие"_s, u"&Повторить действие"_s, u"&Вырезать"_s,
                                           u"&Копировать"_s, u"В&ставить"_s, u"Удалить"_s, u"Выделить всё"_s};
                const bool russian = texts == expected;
                if (!russian)
                    std::fprintf(stderr, "the field's menu: %s\n", qPrintable(texts.join(u" | "_s)));
                QCoreApplication::exit(russian ? 0 : 3);
            }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char **argv)
{
    FirstPaint watcher;
    return runAnalyser(argc, argv, &watcher);
}
