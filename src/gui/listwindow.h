// The list window: a whole file of codes checked as ean13 check checks it, shown as a table a
// person can sort, filter, copy from and save, read on a thread of its own so that the window
// answers throughout. Opened from the main window by Ctrl+O, by a list dropped on it, and by the
// files named on the command line (ListInput).
#pragma once

#include "listreading.h"

#include <QObject>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTableView;
class QThread;

class ListWindow : public QWidget
{
    Q_OBJECT

public:
    // `useCode` takes a row's code to the main window (double-click or Enter on the row).
    ListWindow(const QString &path, std::function<void(const QString &)> useCode, QWidget *parent = nullptr);
    ~ListWindow() override;

    [[nodiscard]] bool loading() const { return m_thread != nullptr; }
    [[nodiscard]] ListModel *model() const { return m_model; }

    void cancelReading();
    void saveReport();
    void copyRows();

    QLabel *fileLabel;
    QComboBox *columnBox;
    QCheckBox *errorsOnlyBox;
    QTableView *table;
    QProgressBar *progress;
    QPushButton *cancelButton;
    QLabel *summary;
    QLabel *note;   // why the reading stopped, where it did not reach the end

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void start(ListReadOptions options);
    void stopThread();
    void layoutKnown(const ListLayout &layout);
    void takeBatch(ListBatch &&batch, long long done, long long size);
    void finished(const QString &problem);
    void showSummary();
    void columnChosen(int index);
    void useRow(const QModelIndex &index);
    [[nodiscard]] QByteArray csvReport() const;

    QString m_path;
    std::function<void(const QString &)> m_useCode;
    ListModel *m_model;
    ListLayout m_layout;
    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<std::atomic<bool>> m_cancel;
    int m_generation = 0;   // of the reading under way: what an earlier one sent late is dropped
    bool m_cancelled = false;
};

// The ways into list windows from the main window: Ctrl+O (a file dialog) and list files dropped
// on it (pictures go on to the image reading); and the files named on the command line.
class ListInput : public QObject
{
    Q_OBJECT

public:
    ListInput(QWidget *window, QLineEdit *field, std::function<void()> analyse);

    // A list window for each file, shown.
    void open(const QStringList &paths);
    void openWithDialog();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    [[nodiscard]] static QStringList droppedLists(const QMimeData *data);
    void useCode(const QString &code);

    QWidget *m_window;
    QLineEdit *m_field;
    std::function<void()> m_analyse;
};
