#pragma once
// What an input stream implements besides NSInputStream when it spaces its reads out (an
// upload throttled to packets with a pause after each): a reader that knows it asks how long
// to wait and does its other work meanwhile instead of blocking in read(). Readers that do not
// know it just call read(), which then waits itself. Called on the reader's thread.

class PacedInputStream {
public:
    virtual ~PacedInputStream() = default;
    // Seconds until the next read may deliver bytes; 0 when it may read now.
    virtual double secondsUntilReadable() const = 0;
};
