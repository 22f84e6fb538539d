// What every simulator does with its console: one flushed line per event on standard
// output, and command lines read from standard input as they come. Owned by the
// simulator object; main thread.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// Writes the line and a line end to standard output (UTF-8) and flushes it, so that a
// program reading the simulator sees each event at once.
void PrintSimLine(const QString& _qstrLine);

class CLS_SimConsole : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts reading standard input; without one (closed, /dev/null) nothing comes.
    void Start();
    void Stop();

Q_SIGNALS:
    // One line of standard input, blanks trimmed.
    void signalCommand(const QString& _qstrLine);

private:
    void ReadInput();

    QSocketNotifier* m_pNotifier = nullptr;
    QByteArray m_qbaInput;
};
