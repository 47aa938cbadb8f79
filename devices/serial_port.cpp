#include "devices/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

#include "core/paths.h"

namespace ferolin {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, never negative.
int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

// The device class that sysfs files a character device under, empty when it
// does not say (pseudo-terminal slaves have no entry, nor has a system
// without sysfs).
std::string DeviceClass(dev_t device) {
    const std::string link = "/sys/dev/char/" + std::to_string(major(device)) + ":" +
                             std::to_string(minor(device)) + "/subsystem";
    char target[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return std::string();
    const std::string_view path(target, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

struct SpeedName {
    uint32_t baud;
    speed_t speed;
};

constexpr SpeedName kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

}  // namespace

int OpenTerminal(const std::string& device) {
    struct stat info;
    if (device.empty() || stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return -1;
    const std::string deviceClass = DeviceClass(info.st_rdev);
    if (!deviceClass.empty() && deviceClass != "tty") return -1;
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    termios settings;
    if (tcgetattr(fd, &settings) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool TerminalSpeed(uint32_t baud, speed_t& speed) {
    for (const SpeedName& s : kSpeeds)
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    return false;
}

bool SerialPort::Open(const std::string& path) {
    Close();
    const std::string title = FileTitle(path);
    if (title.empty()) return false;
    std::string device = FileDirectory(path) + title;
    int fd = OpenTerminal(device);
    if (fd < 0) {
        device = "/dev/" + title;
        fd = OpenTerminal(device);
    }
    if (fd < 0) return false;

    termios settings;
    if (tcgetattr(fd, &saved_) != 0) {
        close(fd);
        return false;
    }
    // Exclusive use: further opens fail while the port is ours.
    ioctl(fd, TIOCEXCL);
    settings = saved_;
    cfmakeraw(&settings);
    settings.c_cflag |= CREAD | CLOCAL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &settings) != 0) {
        ioctl(fd, TIOCNXCL);
        close(fd);
        return false;
    }
    fd_ = fd;
    device_ = device;
    return true;
}

bool SerialPort::SetLine8N1(uint32_t baud) {
    if (fd_ < 0) return false;
    termios settings;
    if (tcgetattr(fd_, &settings) != 0) return false;
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8;
    speed_t speed = 0;
    const bool known = baud != 0 && TerminalSpeed(baud, speed);
    termios withSpeed = settings;
    if (known) {
        cfsetispeed(&withSpeed, speed);
        cfsetospeed(&withSpeed, speed);
    }
    if (tcsetattr(fd_, TCSANOW, &withSpeed) != 0 && known)
        tcsetattr(fd_, TCSANOW, &settings);  // the speed is refused: keep the old one
    if (baud == 0) return true;
    termios now;
    return known && tcgetattr(fd_, &now) == 0 && cfgetospeed(&now) == speed;
}

void SerialPort::Purge() {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
}

void SerialPort::DiscardInput() {
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

std::size_t SerialPort::Write(const void* data, std::size_t size, int timeoutMs) {
    if (fd_ < 0) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const char* bytes = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd_, bytes + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
        const int left = RemainingMs(deadline);
        if (left == 0) break;
        pollfd p{fd_, POLLOUT, 0};
        const int r = poll(&p, 1, left);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) break;
    }
    return done;
}

std::size_t SerialPort::Read(void* data, std::size_t size, int timeoutMs) {
    if (fd_ < 0) return 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char* bytes = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = read(fd_, bytes + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        // End of input or an error (a hung-up line reads EIO): nothing more.
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;
        const int left = RemainingMs(deadline);
        if (left == 0) break;
        pollfd p{fd_, POLLIN, 0};
        const int r = poll(&p, 1, left);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        if (!(p.revents & POLLIN)) break;
    }
    return done;
}

void SerialPort::Close() {
    if (fd_ < 0) return;
    // Give the bytes still queued the time a write of them is allowed (5 ms a
    // byte and 150 ms, 2 s at most), then drop what a stuck line still holds
    // so that closing cannot wait for it. Nothing is dropped otherwise: on a
    // pseudo-terminal an output flush would also discard what the other side
    // has not read yet.
    int queued = 0;
    if (ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) {
        const int waitMs = queued > 370 ? 2000 : WriteTimeoutMs(static_cast<std::size_t>(queued));
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
        while (Clock::now() < deadline && ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (queued > 0) tcflush(fd_, TCOFLUSH);
    }
    tcsetattr(fd_, TCSANOW, &saved_);
    ioctl(fd_, TIOCNXCL);
    close(fd_);
    fd_ = -1;
    device_.clear();
}

}  // namespace ferolin
