#pragma once

#include <QString>
#include <stdexcept>

// An unexpected failure inside a trapped handler. Its text is the description the error report
// shows, so it must read as a sentence for the user.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description);
    // detail: the words of the library or tool that failed, for whoever wants to know more;
    // the description says the same in plain words.
    Failure(const QString& description, const QString& detail);

    QString description() const;
    const QString& detail() const { return detail_; }

    // The system's own words for an errno value.
    static QString systemText(int error);
    // The same words as the rest of a reason, with a lower-case start: "no space left on device".
    static QString systemReason(int error);

private:
    QString detail_;
};
