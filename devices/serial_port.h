// Serial ports for the live NMEA replay and the logger download, on POSIX
// terminals.
//
// A serial path names its port by its title T (file name without folder and
// extension) and its folder D: D + T when that exists and is a terminal
// (symbolic links followed), else /dev/T when that is a terminal, else no port
// at all. Only terminals are ports: a disk, /dev/null or a regular file is
// refused before a byte is written, so "sda.nmea" can never reach /dev/sda.
//
// An opened port is held exclusively and in raw binary mode (no echo, no line
// editing, no XON/XOFF, no CR/LF translation); every read and write ends
// within the time it is given, and closing restores the line settings found
// at opening.
#pragma once

#include <termios.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ferolin {

// Opens `device` when it is a terminal: a character device that opens for
// reading and writing without becoming the controlling terminal, without
// waiting for a carrier, and answers tcgetattr. Returns the descriptor
// (non-blocking) or -1. Devices that the system files under another class
// than terminals are not even opened, since opening some of them has effects
// of its own.
int OpenTerminal(const std::string& device);

// The speed constant naming `baud` exactly (9600 -> B9600); false when the
// line knows no such speed.
bool TerminalSpeed(uint32_t baud, speed_t& speed);

// How long a write of `bytes` may take: 5 ms a byte and 150 ms more. A line
// that takes nothing in that time (flow control held, nobody reading) costs
// the write, not the program.
inline int WriteTimeoutMs(std::size_t bytes) { return static_cast<int>(150 + 5 * bytes); }

class SerialPort {
public:
    SerialPort() = default;
    ~SerialPort() { Close(); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens the port that the serial path names, takes it exclusively and
    // puts it in raw mode. False when no terminal is named; nothing is open
    // then.
    bool Open(const std::string& path);
    // The device actually opened.
    const std::string& device() const { return device_; }

    // 8 data bits, no parity, one stop bit, and the speed `baud` when the line
    // knows it exactly and accepts it (0 keeps the speed). Returns whether the
    // asked speed is in effect; a refused speed leaves the previous one and is
    // not an error for the callers.
    bool SetLine8N1(uint32_t baud);

    // Discards pending input and output.
    void Purge();
    void DiscardInput();

    // Writes the bytes, waiting at most `timeoutMs` in all for the line to
    // take them. Returns the number of bytes written.
    std::size_t Write(const void* data, std::size_t size, int timeoutMs);
    // Reads up to `size` bytes, waiting at most `timeoutMs` in all. Returns
    // the number of bytes read (fewer on time-out or when the line hangs up).
    std::size_t Read(void* data, std::size_t size, int timeoutMs);

    // Lets the output drain for a bounded time, discards what is left,
    // restores the previous line settings, releases the port.
    void Close();

private:
    int fd_ = -1;
    termios saved_{};
    std::string device_;
};

}  // namespace ferolin
