#pragma once

#include "PrivateTempFolder.h"
#include "TaggedFile.h"

#include <QString>

// A file in the private folder that lives as long as a run, or one file of it, needs it.
class ExchangeFile {
public:
    ExchangeFile() = default;
    // Gone without a yield: a destructor must not turn the event loop.
    ~ExchangeFile();
    ExchangeFile(const ExchangeFile&) = delete;
    ExchangeFile& operator=(const ExchangeFile&) = delete;

    // Creates the file; throws Failure.
    void create(PrivateTempFolder::Kind kind);
    // Empty while there is none.
    const QString& path() const { return path_; }
    // Removes it, with the event loop turning.
    void remove();
    // Removes it without a yield, as its destructor does.
    void discard();

private:
    QString path_;
    // Held locked while in use, so that no other run takes it for a leftover.
    TaggedFile held_;
};
