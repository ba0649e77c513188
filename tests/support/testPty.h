#pragma once

#include <chrono>
#include <string>

// A real pseudo-terminal pair for serial tests: the driver under test opens SlavePath() like a
// serial device; the test reads and writes the master side.
class TestPty
{
public:
    TestPty();
    ~TestPty();
    TestPty(const TestPty &) = delete;
    TestPty &operator=(const TestPty &) = delete;

    bool IsValid() const { return master_ >= 0; }
    const std::string &SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    // Writes all bytes to the master side.
    bool Write(const std::string &bytes);
    // Reads what arrives on the master side until `count` bytes came or `timeout` passed.
    std::string Read(std::size_t count, std::chrono::milliseconds timeout);
    // Reads until `terminator` arrived or `timeout` passed; returns everything read.
    std::string ReadUntil(char terminator, std::chrono::milliseconds timeout);
    // Everything waiting now, without blocking.
    std::string Drain();
    // Closes both of our ends, as pulling a USB adapter does: whoever still has the slave open
    // sees a hang-up, and the device node goes away.
    void HangUp();

private:
    int master_ = -1;
    int slave_ = -1; // kept open so the master never sees a hang-up between test steps
    std::string slavePath_;
};
