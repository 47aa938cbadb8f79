// Pseudo-terminals for the serial tests: the code under test opens the slave
// (through a link named like a port), the test plays the device on the master.
#pragma once

#include <termios.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace ferolin_test {

class PseudoTerminal {
public:
    // Opens a master and its slave; the test keeps the slave open to watch the
    // line settings. The slave starts in the kernel's default mode.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return master_; }
    int slave() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }

    // A symbolic link at `link` to the slave.
    void LinkAs(const std::string& link) const;

    // The slave's line settings now, and whether someone holds it exclusively.
    termios Settings() const;
    void SetSettings(const termios& settings) const;
    bool Exclusive() const;

    // Appends what the master receives until `size` bytes have come in all or
    // `timeoutMs` pass; returns the number of bytes appended.
    std::size_t ReadMaster(std::string& into, std::size_t size, int timeoutMs) const;
    // Waits up to `timeoutMs` for input and appends what has come; returns
    // the number of bytes appended.
    std::size_t ReadSome(std::string& into, int timeoutMs) const;
    // Everything available within `timeoutMs` of quiet.
    std::string DrainMaster(int quietMs) const;
    void WriteMaster(std::string_view bytes) const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

// A line mode unlike both the kernel's default and raw mode: 4800 baud, two
// stop bits, canonical input with echo, odd VMIN/VTIME. (A pseudo-terminal
// keeps 8 data bits without parity whatever it is told.) Closing a port must
// bring it back unchanged.
termios UnusualLineMode(termios base);

// The fields of two line settings that a port may change.
bool SameLineSettings(const termios& a, const termios& b);

// True when the settings are raw binary: no echo, no canonical input, no
// signals, no output processing, no input translation or flow control, 8
// bits, receiver on, modem lines ignored.
bool IsRawMode(const termios& t);

double SecondsSince(std::chrono::steady_clock::time_point start);

}  // namespace ferolin_test
