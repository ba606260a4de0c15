// One of our command-line programs run as a user runs it: its arguments, its standard input, and
// what comes back.
#pragma once

#include <QByteArray>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>

struct Run
{
    int exitCode = -1;   // also for a program that crashed or never ended
    QByteArray out;
    QByteArray err;
};

inline Run runProgram(const QString &program, const QStringList &args, const QByteArray &input = {},
                      const QString &workingDirectory = {}, int timeoutMs = 60000)
{
    QProcess p;
    p.setWorkingDirectory(workingDirectory);
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// JSON Lines, one object a line; a line that is no JSON object is reported and comes back empty.
inline QList<QJsonObject> jsonRecords(const QByteArray &out)
{
    QList<QJsonObject> list;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            qWarning() << "not a JSON object:" << line;
        list << doc.object();
    }
    return list;
}
