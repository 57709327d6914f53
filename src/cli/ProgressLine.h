#pragma once

#include <QElapsedTimer>
#include <QString>

// The run's progress on one line of standard error, redrawn in place; only on a terminal, since
// a script reading the stream wants the messages alone.
class ProgressLine {
public:
    ProgressLine();

    // The run has reached file position (1-based) of count.
    void show(int position, int count, const QString& input);
    // Takes the line away, so that a message or the prompt starts on an empty line.
    void clear();

private:
    bool terminal_;
    bool drawn_ = false;
    QElapsedTimer shown_;
};
