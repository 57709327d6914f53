#pragma once

#include <utility>

// An open file descriptor that is closed however its owner's scope ends: on every way out of a
// function, and with the object that holds it. It moves but is never copied, so no descriptor is
// closed twice, nor the number of a descriptor that another part of the program opened since.
class FileDescriptor {
public:
    FileDescriptor() = default;
    // Takes over fd; a negative fd (a failed open()) holds nothing.
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // The descriptor; -1 when nothing is held.
    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closes it now and gives what close() gave (0 when nothing was held), for a file whose last
    // write is only known to have failed from close().
    int close();
    // Hands the descriptor on, unclosed; nothing is held afterwards.
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};
