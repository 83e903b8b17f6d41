// Ownership of a POSIX file descriptor.
#pragma once

#include <unistd.h>

#include <utility>

namespace picbatch {

// Owns a file descriptor (negative: none) and closes it when destroyed.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other) {
            Close();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }

    int Get() const { return m_fd; }
    // Gives up ownership without closing.
    int Release() { return std::exchange(m_fd, -1); }
    // Closes now; returns close's result (0 when already closed).
    int Close()
    {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

}  // namespace picbatch
