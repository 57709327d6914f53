#pragma once

#include <QString>
#include <stdexcept>

// Something that could not be done, told in plain words: a file that cannot be read, a write the
// system refused, a step of a handler that failed. Its text is what the user is shown (a file's
// reason, or the description of an error report), so it must read as a sentence for the user.
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
