#pragma once

// The wait before a report mail is composed.
class MailPause
{
public:
    // Returns after the given number of seconds, measured on the monotonic clock (a change of
    // the time of day or midnight does not shorten or stretch it). Window events and timers
    // are processed meanwhile; the wait sleeps in the event loop instead of polling.
    // Zero, negative or NaN seconds return at once.
    static void pause(double seconds);
};
