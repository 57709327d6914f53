#include "ExchangeFile.h"

#include "PathHelpers.h"

ExchangeFile::~ExchangeFile() {
    discard();
}

void ExchangeFile::create(PrivateTempFolder::Kind kind) {
    held_ = PrivateTempFolder::createFile(kind);
    path_ = held_.path();
}

void ExchangeFile::remove() {
    if (!path_.isEmpty())
        PathHelpers::RemoveFile(path_);
    path_.clear();
    held_ = TaggedFile();
}

void ExchangeFile::discard() {
    if (!path_.isEmpty())
        PathHelpers::DiscardFile(path_);
    path_.clear();
    held_ = TaggedFile();
}
