#include "FileDescriptor.h"

#include <unistd.h>

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int FileDescriptor::close() {
    const int fd = std::exchange(fd_, -1);
    return fd >= 0 ? ::close(fd) : 0;
}
