#include "pty_support.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace ferolin_test {

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
        throw std::runtime_error("no pseudo-terminal");
    const char* name = ptsname(master_);
    if (!name) throw std::runtime_error("no pseudo-terminal name");
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave_ < 0) throw std::runtime_error("cannot open the slave");
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PseudoTerminal::~PseudoTerminal() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

void PseudoTerminal::LinkAs(const std::string& link) const {
    if (symlink(slavePath_.c_str(), link.c_str()) != 0)
        throw std::runtime_error("cannot link " + link);
}

termios PseudoTerminal::Settings() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
}

void PseudoTerminal::SetSettings(const termios& settings) const {
    tcsetattr(slave_, TCSANOW, &settings);
}

bool PseudoTerminal::Exclusive() const {
    int exclusive = 0;
    return ioctl(slave_, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

std::size_t PseudoTerminal::ReadMaster(std::string& into, std::size_t size, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t got = 0;
    char buffer[4096];
    while (got < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        const std::size_t want = size - got < sizeof buffer ? size - got : sizeof buffer;
        const ssize_t n = read(master_, buffer, want);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
            got += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    return got;
}

std::size_t PseudoTerminal::ReadSome(std::string& into, int timeoutMs) const {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return 0;
    char buffer[4096];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n <= 0) return 0;
    into.append(buffer, static_cast<std::size_t>(n));
    return static_cast<std::size_t>(n);
}

std::string PseudoTerminal::DrainMaster(int quietMs) const {
    std::string all;
    while (ReadMaster(all, 1 << 20, quietMs) > 0) {
    }
    return all;
}

void PseudoTerminal::WriteMaster(std::string_view bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{master_, POLLOUT, 0};
            poll(&p, 1, 100);
        } else {
            break;
        }
    }
}

termios UnusualLineMode(termios t) {
    t.c_cflag |= CSTOPB;
    t.c_lflag |= ICANON | ECHO | ECHOE;
    t.c_iflag |= ICRNL | IXON;
    t.c_oflag |= OPOST | ONLCR;
    t.c_cc[VMIN] = 3;
    t.c_cc[VTIME] = 7;
    cfsetispeed(&t, B4800);
    cfsetospeed(&t, B4800);
    return t;
}

bool SameLineSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

bool IsRawMode(const termios& t) {
    return !(t.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN)) && !(t.c_oflag & OPOST) &&
           !(t.c_iflag & (IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON)) &&
           (t.c_cflag & CSIZE) == CS8 && !(t.c_cflag & PARENB) && (t.c_cflag & CREAD) &&
           (t.c_cflag & CLOCAL);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace ferolin_test
